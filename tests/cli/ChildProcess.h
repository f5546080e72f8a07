#pragma once
// The built tarvio2-cli as a child process: its stdout and stderr through pipes, signals
// sent to it, its exit status. For what only a real process shows: signal handling and exit
// statuses.

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace tarvio::test {

class ChildProcess {
public:
    ChildProcess(const std::string& program, const std::vector<std::string>& args) {
        int out[2];
        int err[2];
        if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        ::close(err[1]);
        out_ = out[0];
        err_ = err[0];
    }
    ~ChildProcess() {
        if (pid_ > 0 && status_ < 0) {
            ::kill(pid_, SIGKILL);
            wait();
        }
        ::close(out_);
        ::close(err_);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return pid_ > 0; }
    void signal(int number) { ::kill(pid_, number); }

    // The next whole line of stdout (or stderr), waiting at most `seconds`; false at the end
    // of the stream or on time-out.
    bool outLine(std::string& line, double seconds = 20.0) {
        return nextLine(out_, outBuf_, line, seconds);
    }
    bool errLine(std::string& line, double seconds = 20.0) {
        return nextLine(err_, errBuf_, line, seconds);
    }

    // Reads both streams to their ends, then the exit status (-1 unless it exited).
    int wait() {
        std::string line;
        while (nextLine(out_, outBuf_, line, 60.0))
            outRest_ += line + '\n';
        while (nextLine(err_, errBuf_, line, 60.0))
            errRest_ += line + '\n';
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
        return status_;
    }
    // What wait() read after the last line taken.
    const std::string& outRest() const { return outRest_; }
    const std::string& errRest() const { return errRest_; }

private:
    static bool nextLine(int fd, std::string& buffer, std::string& line, double seconds) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        for (;;) {
            if (const std::size_t newline = buffer.find('\n'); newline != std::string::npos) {
                line = buffer.substr(0, newline);
                buffer.erase(0, newline + 1);
                return true;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return false;
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0)
                continue;
            char chunk[4096];
            const ssize_t n = ::read(fd, chunk, sizeof chunk);
            if (n <= 0)
                return false;
            buffer.append(chunk, static_cast<std::size_t>(n));
        }
    }

    pid_t pid_ = -1;
    int out_ = -1;
    int err_ = -1;
    int status_ = -1;
    std::string outBuf_, errBuf_, outRest_, errRest_;
};

} // namespace tarvio::test
