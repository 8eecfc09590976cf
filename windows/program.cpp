// SPDX-License-Identifier: MIT
#include "windows/program.h"

#include "windows/form1.h"
#include "windows/form2.h"

#include <QPointer>

namespace {
QPointer<Form2> theForm2;
QPointer<Form1> theForm1;
} // namespace

Form2 &form2()
{
    if (!theForm2)
        theForm2 = new Form2;
    return *theForm2;
}

bool form2Exists()
{
    return !theForm2.isNull();
}

void unloadForm2()
{
    if (theForm2 && theForm2->close())
        delete theForm2;
}

Form1 *form1()
{
    return theForm1;
}

void setForm1(Form1 *window)
{
    theForm1 = window;
}
