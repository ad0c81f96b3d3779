#pragma once

#include <functional>
#include <sys/wait.h>
#include <unistd.h>

namespace zvtest {

enum class Privileges { Same, NotRoot };

// Runs `work` in a child process, so that limits set there stay there; with Privileges::NotRoot
// the child gives up root (becoming "nobody"), so that file permissions hold for it too. True when
// `work` returned true.
inline bool inChild(Privileges privileges, const std::function<bool()> &work)
{
    const pid_t child = fork();
    if (child == 0) {
        if (privileges == Privileges::NotRoot && geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(3);
        _exit(work() ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace zvtest
