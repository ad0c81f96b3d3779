#pragma once

// The program's entry: makes sure the catalogue exists, sets the version values and
// shows the first window. Returns false when the program cannot go on (the reason has
// been shown to the user); the caller then ends without an event loop.
bool Main();

class QApplication;

namespace zv {

// The program's name, its font and Qt's Russian translation, for the program and its tools.
void setUpApplication(QApplication &app);

// Sets up the application (font, Qt's Russian translation, the real seam), runs Main and
// then the event loop; what main() returns.
int runApplication(int argc, char *argv[]);

} // namespace zv
