#pragma once

#include "gui/QtSeam.h"

namespace zvtest {

// The real seam, except that every message box is answered at once ("No" to a question) and
// nothing ends the process: a benchmark drives the windows without a person.
class SilentSeam : public zv::QtSeam
{
public:
    zv::MessageAnswer messageBox(QWidget *, const QString &, zv::MessageForm form, const QString &) override
    {
        return form == zv::MessageForm::YesNoQuestion ? zv::MessageAnswer::No : zv::MessageAnswer::Ok;
    }
    void exitProcess(int) override {}
};

} // namespace zvtest
