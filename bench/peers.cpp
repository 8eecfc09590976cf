// SPDX-License-Identifier: MIT
// peers [rounds] [--idle SECONDS] [--pss-at SECONDS] [--ringlo PATH] [--before PATH]: runs Ringlo,
// xclock and a bare Qt 6 label clock (and an earlier build of Ringlo, if given) one at a time,
// each round in turn, every run on a private Xvfb with openbox, and prints the medians (min–max)
// of what each costs, with Ringlo's ratios to the others.
//
// Per run: the time from exec to the first MapNotify of a top-level window, seen as an X event by
// a watcher on the root window (with a window manager, that is the frame the client sits in, and
// the frame is mapped after the client, so the window is viewable then); PSS at a fixed moment
// after exec; and over the idle time that follows, the CPU time of all the program's threads (from
// schedstat, in nanoseconds), their context switches, and the X server's CPU time.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>
#include <xcb/xcb.h>

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::duration;

struct Options
{
    int rounds = 4;
    double idleSeconds = 60;
    double pssAtSeconds = 10;
    std::string ringlo = RINGLO_PATH;
    std::string before; // an earlier build, to compare with in the same run
};

struct Program
{
    std::string name;
    std::vector<std::string> argv;
};

struct Sample
{
    double startMs = 0;
    double pssMiB = 0;
    double rssMiB = 0;
    double cpuMsPerMinute = 0;
    double switchesPerSecond = 0;
    double serverCpuMsPerMinute = 0;
};

[[noreturn]] void fail(const std::string &what)
{
    throw std::runtime_error(what);
}

double msSince(Clock::time_point start)
{
    return duration<double, std::milli>(Clock::now() - start).count();
}

// Forks and execs; the child dies with us, so an interrupted run leaves no server behind.
// keepFd, if not -1, stays open across exec.
pid_t spawn(const std::vector<std::string> &argv, const std::vector<std::string> &environment,
            int keepFd = -1)
{
    std::vector<char *> args;
    for (const std::string &arg : argv)
        args.push_back(const_cast<char *>(arg.c_str()));
    args.push_back(nullptr);
    std::vector<char *> env;
    for (const std::string &entry : environment)
        env.push_back(const_cast<char *>(entry.c_str()));
    env.push_back(nullptr);

    const pid_t pid = fork();
    if (pid < 0)
        fail("fork: " + std::string(std::strerror(errno)));
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        const int null = open("/dev/null", O_RDWR);
        dup2(null, STDIN_FILENO);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        if (keepFd != -1)
            fcntl(keepFd, F_SETFD, 0);
        execvpe(args[0], args.data(), env.data());
        _exit(127);
    }
    return pid;
}

void stop(pid_t &pid)
{
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    for (int i = 0; i < 300; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) {
            pid = 0;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    pid = 0;
}

bool alive(pid_t pid)
{
    return waitpid(pid, nullptr, WNOHANG) == 0;
}

// A child process that is stopped when it goes out of scope, errors included.
struct Child
{
    pid_t pid = 0;
    Child() = default;
    explicit Child(pid_t started) : pid(started) {}
    ~Child() { stop(pid); }
    Child(const Child &) = delete;
    Child &operator=(const Child &) = delete;
};

std::vector<std::string> environmentFor(const std::string &display)
{
    std::vector<std::string> result;
    for (char **entry = environ; *entry; ++entry) {
        const std::string_view text(*entry);
        if (!text.starts_with("DISPLAY=") && !text.starts_with("WAYLAND_DISPLAY=") &&
            !text.starts_with("QT_QPA_PLATFORM="))
            result.emplace_back(text);
    }
    result.push_back("DISPLAY=" + display);
    result.push_back("QT_QPA_PLATFORM=xcb");
    return result;
}

// A private X server with openbox managing it, and a connection to it that watches the root.
class Desktop
{
public:
    Desktop()
    {
        int pipeFds[2];
        if (pipe2(pipeFds, O_CLOEXEC) != 0)
            fail("pipe: " + std::string(std::strerror(errno)));
        m_server.pid = spawn({"Xvfb", "-displayfd", std::to_string(pipeFds[1]), "-nolisten", "tcp",
                              "-screen", "0", "1280x1024x24"},
                             environmentFor(""), pipeFds[1]);
        close(pipeFds[1]);
        std::string number;
        pollfd reader{pipeFds[0], POLLIN, 0};
        char c = 0;
        while (poll(&reader, 1, 10000) > 0 && read(pipeFds[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(pipeFds[0]);
        if (number.empty())
            fail("Xvfb did not start");
        display = ":" + number;

        m_connection = xcb_connect(display.c_str(), nullptr);
        if (xcb_connection_has_error(m_connection))
            fail("cannot connect to " + display);
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;

        m_windowManager.pid = spawn({"openbox", "--sm-disable"}, environmentFor(display));
        const xcb_atom_t check = atom("_NET_SUPPORTING_WM_CHECK");
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        while (!hasProperty(check)) {
            if (Clock::now() > deadline || !alive(m_windowManager.pid))
                fail("openbox did not start");
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        // openbox announces itself before it has read its theme; let it reach its event loop.
        std::this_thread::sleep_for(std::chrono::milliseconds(500));

        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(m_connection, m_root, XCB_CW_EVENT_MASK, &mask);
        free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
    }

    ~Desktop()
    {
        if (m_connection)
            xcb_disconnect(m_connection);
    }

    Desktop(const Desktop &) = delete;
    Desktop &operator=(const Desktop &) = delete;

    // Waits for the first top-level window to be mapped: a child of the root that is not
    // override-redirect. Returns its moment, and stops watching.
    Clock::time_point waitForMap(pid_t program, double timeoutSeconds)
    {
        const auto deadline = Clock::now() + duration<double>(timeoutSeconds);
        pollfd events{xcb_get_file_descriptor(m_connection), POLLIN, 0};
        while (Clock::now() < deadline) {
            while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection)) {
                const auto moment = Clock::now();
                const bool mapped = (event->response_type & 0x7f) == XCB_MAP_NOTIFY;
                const auto *map = reinterpret_cast<xcb_map_notify_event_t *>(event);
                const bool topLevel = mapped && map->event == m_root && !map->override_redirect;
                free(event);
                if (topLevel) {
                    xcb_disconnect(m_connection);
                    m_connection = nullptr;
                    return moment;
                }
            }
            if (xcb_connection_has_error(m_connection))
                fail("lost the X connection");
            if (!alive(program))
                fail("the program ended before it showed a window");
            poll(&events, 1, 100);
        }
        fail("no window within " + std::to_string(int(timeoutSeconds)) + " s");
    }

    std::string display;
    pid_t serverPid() const { return m_server.pid; }

private:
    xcb_atom_t atom(const char *name)
    {
        xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
            m_connection, xcb_intern_atom(m_connection, 0, std::strlen(name), name), nullptr);
        const xcb_atom_t result = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        free(reply);
        return result;
    }

    bool hasProperty(xcb_atom_t property)
    {
        xcb_get_property_reply_t *reply = xcb_get_property_reply(
            m_connection,
            xcb_get_property(m_connection, 0, m_root, property, XCB_ATOM_WINDOW, 0, 1), nullptr);
        const bool found = reply && xcb_get_property_value_length(reply) == 4;
        free(reply);
        return found;
    }

    // Declared first, so that the window manager goes before its server.
    Child m_server;
    Child m_windowManager;
    xcb_connection_t *m_connection = nullptr;
    xcb_window_t m_root = 0;
};

// Per thread: nanoseconds on the CPU, and context switches of both kinds.
struct ThreadUsage
{
    double cpuNs = 0;
    double switches = 0;
};

std::map<int, ThreadUsage> usageOf(pid_t pid)
{
    std::map<int, ThreadUsage> result;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    DIR *dir = opendir(tasks.c_str());
    if (!dir)
        fail("cannot read " + tasks);
    while (const dirent *entry = readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        const std::string task = tasks + "/" + entry->d_name;
        ThreadUsage usage;
        std::ifstream(task + "/schedstat") >> usage.cpuNs;
        std::ifstream status(task + "/status");
        for (std::string line; std::getline(status, line);) {
            if (line.find("ctxt_switches:") != std::string::npos)
                usage.switches += std::stod(line.substr(line.find(':') + 1));
        }
        result[std::atoi(entry->d_name)] = usage;
    }
    closedir(dir);
    return result;
}

// What the threads used between two looks; a thread that ended in between is lost, which idle
// programs do not do.
ThreadUsage usedBetween(const std::map<int, ThreadUsage> &before,
                        const std::map<int, ThreadUsage> &after)
{
    ThreadUsage used;
    for (const auto &[tid, usage] : after) {
        const auto earlier = before.find(tid);
        const ThreadUsage start = earlier == before.end() ? ThreadUsage() : earlier->second;
        used.cpuNs += usage.cpuNs - start.cpuNs;
        used.switches += usage.switches - start.switches;
    }
    return used;
}

// PSS, and RSS beside it: PSS counts a share of each library page, so it falls when other programs
// on the machine map the same libraries, while RSS does not depend on them.
void readMemory(pid_t pid, Sample &sample)
{
    std::ifstream rollup("/proc/" + std::to_string(pid) + "/smaps_rollup");
    for (std::string line; std::getline(rollup, line);) {
        const double mebibytes = std::atof(line.c_str() + line.find(':') + 1) / 1024.0;
        if (line.starts_with("Pss:"))
            sample.pssMiB = mebibytes;
        else if (line.starts_with("Rss:"))
            sample.rssMiB = mebibytes;
    }
    if (sample.pssMiB <= 0)
        fail("no Pss in smaps_rollup");
}

Sample measure(const Program &program, const Options &options)
{
    Desktop desktop;
    Sample sample;
    const auto start = Clock::now();
    const Child child(spawn(program.argv, environmentFor(desktop.display)));
    const pid_t pid = child.pid;
    {
        const auto mapped = desktop.waitForMap(pid, 30);
        sample.startMs = duration<double, std::milli>(mapped - start).count();

        std::this_thread::sleep_until(start + duration<double>(options.pssAtSeconds));
        readMemory(pid, sample);

        const auto programBefore = usageOf(pid);
        const auto serverBefore = usageOf(desktop.serverPid());
        const auto idleStart = Clock::now();
        std::this_thread::sleep_for(duration<double>(options.idleSeconds));
        const ThreadUsage used = usedBetween(programBefore, usageOf(pid));
        const ThreadUsage server = usedBetween(serverBefore, usageOf(desktop.serverPid()));
        const double seconds = msSince(idleStart) / 1000.0;
        if (!alive(pid))
            fail("the program ended while idle");
        sample.cpuMsPerMinute = used.cpuNs / 1e6 * 60.0 / seconds;
        sample.switchesPerSecond = used.switches / seconds;
        sample.serverCpuMsPerMinute = server.cpuNs / 1e6 * 60.0 / seconds;
    }
    return sample;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

std::string cell(const std::vector<double> &values, int decimals)
{
    char text[96];
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    if (values.size() == 1)
        std::snprintf(text, sizeof text, "%.*f", decimals, values.front());
    else
        std::snprintf(text, sizeof text, "%.*f (%.*f–%.*f)", decimals, median(values), decimals,
                      *low, decimals, *high);
    return text;
}

std::string ratio(const std::vector<double> &of, const std::vector<double> &to)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", median(of) / median(to));
    return text;
}

Options parse(int argc, char *argv[])
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--idle" && hasValue)
            options.idleSeconds = std::stod(argv[++i]);
        else if (arg == "--pss-at" && hasValue)
            options.pssAtSeconds = std::stod(argv[++i]);
        else if (arg == "--ringlo" && hasValue)
            options.ringlo = argv[++i];
        else if (arg == "--before" && hasValue)
            options.before = argv[++i];
        else if (!arg.empty() && std::isdigit(static_cast<unsigned char>(arg[0])))
            options.rounds = std::stoi(arg);
        else
            fail("usage: peers [rounds] [--idle SECONDS] [--pss-at SECONDS] [--ringlo PATH] "
                 "[--before PATH]");
    }
    if (options.rounds < 1 || options.idleSeconds <= 0 || options.pssAtSeconds <= 0)
        fail("rounds, idle time and the PSS moment must be positive");
    return options;
}

} // namespace

int main(int argc, char *argv[])
{
    try {
        const Options options = parse(argc, argv);
        std::vector<Program> programs = {
            {"Ringlo", {options.ringlo}},
            {"bare Qt 6 window", {BARE_CLOCK_PATH}},
            {"`xclock -digital -update 1`", {"xclock", "-digital", "-update", "1"}},
        };
        if (!options.before.empty())
            programs.push_back({"Ringlo before", {options.before}});
        std::vector<std::vector<Sample>> samples(programs.size());
        for (int round = 0; round < options.rounds; ++round) {
            // Each round starts with a different program, so that none always runs first.
            for (std::size_t k = 0; k < programs.size(); ++k) {
                const std::size_t which = (k + std::size_t(round)) % programs.size();
                const Sample sample = measure(programs[which], options);
                samples[which].push_back(sample);
                std::fprintf(stderr,
                             "round %d, %s: start %.1f ms, PSS %.1f MiB, RSS %.1f MiB, "
                             "CPU %.1f ms/min, %.2f switches/s, X server %.1f ms/min\n",
                             round + 1, programs[which].name.c_str(), sample.startMs, sample.pssMiB,
                             sample.rssMiB, sample.cpuMsPerMinute, sample.switchesPerSecond,
                             sample.serverCpuMsPerMinute);
            }
        }

        struct Figure
        {
            std::string name;
            double Sample::*member;
            int decimals;
        };
        char pssAt[16];
        std::snprintf(pssAt, sizeof pssAt, "%g", options.pssAtSeconds);
        const Figure figures[] = {
            {"exec to first window viewable, ms", &Sample::startMs, 1},
            {"PSS at " + std::string(pssAt) + " s, MiB", &Sample::pssMiB, 1},
            {"RSS at " + std::string(pssAt) + " s, MiB", &Sample::rssMiB, 1},
            {"CPU per idle minute, ms", &Sample::cpuMsPerMinute, 1},
            {"context switches per second, idle", &Sample::switchesPerSecond, 2},
            {"X server CPU per idle minute, ms", &Sample::serverCpuMsPerMinute, 1},
        };
        std::printf("%d round%s, %g s idle, medians (min–max)\n\n", options.rounds,
                    options.rounds == 1 ? "" : "s", options.idleSeconds);
        std::printf("| figure |");
        for (const Program &program : programs)
            std::printf(" %s |", program.name.c_str());
        std::printf(" Ringlo/xclock | Ringlo/bare Qt |%s\n|---|---|---|---|---|---|%s\n",
                    programs.size() > 3 ? " Ringlo/before |" : "",
                    programs.size() > 3 ? "---|---|" : "");
        for (const Figure &figure : figures) {
            std::vector<std::vector<double>> values(programs.size());
            for (std::size_t p = 0; p < programs.size(); ++p) {
                for (const Sample &sample : samples[p])
                    values[p].push_back(sample.*figure.member);
            }
            std::printf("| %s | %s | %s | %s |", figure.name.c_str(),
                        cell(values[0], figure.decimals).c_str(),
                        cell(values[1], figure.decimals).c_str(),
                        cell(values[2], figure.decimals).c_str());
            if (programs.size() > 3)
                std::printf(" %s |", cell(values[3], figure.decimals).c_str());
            std::printf(" %s | %s |", ratio(values[0], values[2]).c_str(),
                        ratio(values[0], values[1]).c_str());
            if (programs.size() > 3)
                std::printf(" %s |", ratio(values[0], values[3]).c_str());
            std::printf("\n");
        }
        return 0;
    } catch (const std::exception &error) {
        std::fprintf(stderr, "peers: %s\n", error.what());
        return 1;
    }
}
