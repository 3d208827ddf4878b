// What the Wayland tests share: programs run as the session's user (the one that
// sway_session.sh made), and waiting for a condition with a limit that only bounds
// a failure.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace session {

using namespace std::chrono_literals;

inline std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

inline bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (condition()) return true;
        std::this_thread::sleep_for(20ms);
    }
    return condition();
}

inline std::string Slurp(const std::string& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A program run as the session's user with an environment of only PATH and `env`, in
// a process group of its own (a compositor's dbus-run-session and bus go with it);
// its standard output and error kept in files named after `files`, removed with it.
class Process {
public:
    Process(const std::vector<std::string>& env, const std::vector<std::string>& command, const std::string& files)
        : out_(files + ".out"), err_(files + ".err") {
        std::vector<std::string> words{"setpriv", "--reuid=" + Env("SWAY_UID"), "--regid=" + Env("SWAY_GID"),
                                       "--init-groups", "env", "-i", "PATH=" + Env("PATH")};
        words.insert(words.end(), env.begin(), env.end());
        words.insert(words.end(), command.begin(), command.end());
        std::vector<char*> argv;
        for (auto& w : words) argv.push_back(w.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, 2, err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
        if (posix_spawnp(&pid_, "setpriv", &actions, &attributes, argv.data(), environ) != 0) pid_ = -1;
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    ~Process() {
        if (pid_ > 0 && status_ == -1) {
            kill(-pid_, SIGTERM);
            if (Exit(5s) == -1) kill(-pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        std::remove(out_.c_str());
        std::remove(err_.c_str());
    }
    pid_t Pid() const { return pid_; }
    // The exit status once it ended within `limit`; -1 while it runs, -2 for a death by signal.
    int Exit(std::chrono::milliseconds limit) {
        WaitFor(
            [&] {
                int raw = 0;
                if (status_ != -1 || waitpid(pid_, &raw, WNOHANG) != pid_) return status_ != -1;
                status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : -2;
                return true;
            },
            limit);
        return status_;
    }
    std::string Out() const { return Slurp(out_); }
    std::string Err() const { return Slurp(err_); }

private:
    std::string out_, err_;
    pid_t pid_ = -1;
    int status_ = -1;
};

}  // namespace session
