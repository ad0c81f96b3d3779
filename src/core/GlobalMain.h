#pragma once

#include "SharedState.h"

class QWidget;

// The program's entry: makes sure the catalogue exists, sets the version values and
// shows the first window. Returns false when the program cannot go on (the reason has
// been shown to the user); the caller then ends without an event loop.
bool Main();

// Places the window above all others, or back into the normal order, without moving it.
void SetTopmost(QWidget *window);
void ClearTopmost(QWidget *window);
