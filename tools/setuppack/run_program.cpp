// fork and exec with one pipe for both output streams.
#include "tools/setuppack/run_program.h"

#ifndef _WIN32
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#ifdef _WIN32
ProgramRun RunProgram(const std::vector<std::string>&, const ProgramEnvironment&) {
    return ProgramRun{};
}
#else
ProgramRun RunProgram(const std::vector<std::string>& args, const ProgramEnvironment& environment) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return ProgramRun{};
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t child = fork();
    if (child == 0) {
        dup2(pipeFds[1], 1);
        dup2(pipeFds[1], 2);
        close(pipeFds[0]);
        close(pipeFds[1]);
        for (const auto& [name, value] : environment) setenv(name.c_str(), value.c_str(), 1);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(pipeFds[1]);
    ProgramRun ran;
    char buffer[4096];
    ssize_t got;
    while ((got = read(pipeFds[0], buffer, sizeof buffer)) > 0) ran.output.append(buffer, got);
    close(pipeFds[0]);
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) < 0) return ProgramRun{};
    ran.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return ran;
}
#endif
