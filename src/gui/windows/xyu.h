#pragma once

#include "gui/windows/PictureWindow.h"

class EventLabel;

// The hidden picture the small tool shows for the word "xyu": a photograph and a joke text.
// Any click closes it.
class xyu : public PictureWindow
{
    Q_OBJECT

public:
    xyu();

    void Form_Click() override;

private:
    EventLabel *Label1 = nullptr;
};
