#pragma once

#include <memory>
#include <optional>

// The program's entry: makes sure the catalogue exists, sets the version values and
// shows the first window. Returns false when the program cannot go on (the reason has
// been shown to the user); the caller then ends without an event loop.
bool Main();

class QApplication;

namespace zv {

class FolderOwner;

// The program's name, its font, Qt's Russian translation and how it hands freed memory back,
// for the program and its tools.
void setUpApplication(QApplication &app);

// Sets up the application (font, Qt's Russian translation, the real seam), runs Main and
// then the event loop; what main() returns.
int runApplication(int argc, char *argv[]);

// What a start does before its event loop: an install left unfinished first, then the program
// folder's owner (kept in `owner` for the program's life), then Main. The exit code when the
// program ends here; nullopt when its event loop is to run.
std::optional<int> startUp(std::unique_ptr<FolderOwner> &owner);

} // namespace zv
