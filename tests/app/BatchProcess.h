// Runs the real vantrel4 executable in batch mode as a child process, the way a cohort script
// does: offscreen platform, standard error captured, optionally as an unprivileged user, with
// a file-size limit, or killed when the results file has been opened a given number of times.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace vantrel_test {

// A run that has not ended after this long hangs: it is killed and counts as a failure.
inline constexpr int kHangSeconds = 30;

struct BatchRun {
    int ExitCode = -1;   // -1 when ended by a signal
    int Signal = 0;      // the signal that ended it, 0 when it exited
    bool Hung = false;   // killed after kHangSeconds
    std::string Stderr;  // everything the run wrote to standard error
    double Seconds = 0;
};

// How to start the run.
struct BatchOptions {
    std::filesystem::path WorkDir;  // current directory of the run
    bool AsNobody = false;          // run as uid/gid 65534 through setpriv
    long FileSizeLimit = 0;         // RLIMIT_FSIZE in bytes (0 = none); SIGXFSZ ignored
    // When set: SIGKILL once the file of this name (in its directory) was opened KillAtOpen
    // times and then modified KillAfterWrites times.
    std::filesystem::path WatchedFile;
    int KillAtOpen = 0;
    int KillAfterWrites = 0;
    int KillSignal = SIGKILL;      // sent at the kill point
    std::filesystem::path Stdout;  // where standard output goes (default: nowhere)
};

inline std::filesystem::path Vantrel4() {
    return VANTREL4_PATH;
}

// The command a run starts; as root, an unprivileged user needs setpriv.
inline std::vector<std::string> Command(const std::vector<std::string>& args, bool asNobody) {
    std::vector<std::string> command;
    if (asNobody && getuid() == 0)
        command = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    command.push_back(Vantrel4().string());
    command.insert(command.end(), args.begin(), args.end());
    return command;
}

// Whether runs as an unprivileged user are possible here; otherwise the reason.
inline bool CanRunAsNobody(std::string& reason) {
    if (getuid() != 0) return true;  // already unprivileged: permissions apply as they are
    if (std::system("setpriv --reuid=65534 --regid=65534 --clear-groups true 2>/dev/null") != 0) {
        reason = "running as root and setpriv cannot switch to uid 65534 here";
        return false;
    }
    return true;
}

namespace detail {

[[noreturn]] inline void ExecChild(const std::vector<std::string>& command,
                                   const BatchOptions& options, int errFd) {
    dup2(errFd, STDERR_FILENO);
    const int null = open("/dev/null", O_RDWR);
    dup2(null, STDIN_FILENO);
    const int out = options.Stdout.empty()
                        ? null
                        : open(options.Stdout.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(out, STDOUT_FILENO);
    if (!options.WorkDir.empty() && chdir(options.WorkDir.c_str()) != 0) _exit(126);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (options.FileSizeLimit > 0) {
        // A real "File too large" error instead of the signal, root included.
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{rlim_t(options.FileSizeLimit), rlim_t(options.FileSizeLimit)};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(126);
    }
    std::vector<char*> argv;
    for (const std::string& a : command)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
}

// Counts opens and writes of the watched file; true when the kill point is reached.
inline bool KillPointReached(int watchFd, const BatchOptions& options, int& opens, int& writes) {
    alignas(inotify_event) char buffer[4096];
    const ssize_t got = read(watchFd, buffer, sizeof buffer);
    for (ssize_t at = 0; at < got;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        if (event->len && options.WatchedFile.filename() == event->name) {
            if (event->mask & IN_OPEN) ++opens;
            if ((event->mask & IN_MODIFY) && opens >= options.KillAtOpen) ++writes;
            if (opens >= options.KillAtOpen && writes >= options.KillAfterWrites) return true;
        }
        at += ssize_t(sizeof(inotify_event) + event->len);
    }
    return false;
}

}  // namespace detail

// Starts vantrel4 with the arguments and waits for its end (or kills it at the kill point).
inline BatchRun RunBatch(const std::vector<std::string>& args, const BatchOptions& options = {}) {
    BatchRun run;
    int watchFd = -1;
    if (options.KillAtOpen > 0) {
        watchFd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        inotify_add_watch(watchFd, options.WatchedFile.parent_path().c_str(), IN_OPEN | IN_MODIFY);
    }
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) return run;
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) detail::ExecChild(Command(args, options.AsNobody), options, pipeFds[1]);
    close(pipeFds[1]);
    fcntl(pipeFds[0], F_SETFL, O_NONBLOCK);

    int status = 0, opens = 0, writes = 0;
    bool ended = false;
    while (!ended) {
        pollfd fds[2] = {{pipeFds[0], POLLIN, 0}, {watchFd, POLLIN, 0}};
        poll(fds, watchFd >= 0 ? 2 : 1, 20);
        char chunk[4096];
        for (ssize_t n; (n = read(pipeFds[0], chunk, sizeof chunk)) > 0;)
            run.Stderr.append(chunk, n);
        if (watchFd >= 0 && (fds[1].revents & POLLIN) &&
            detail::KillPointReached(watchFd, options, opens, writes)) {
            kill(pid, options.KillSignal);
            close(watchFd);  // once
            watchFd = -1;
        }
        ended = waitpid(pid, &status, WNOHANG) == pid;
        run.Seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!ended && run.Seconds > kHangSeconds) {
            run.Hung = true;
            kill(pid, SIGKILL);
        }
    }
    char chunk[4096];
    for (ssize_t n; (n = read(pipeFds[0], chunk, sizeof chunk)) > 0;)
        run.Stderr.append(chunk, n);
    close(pipeFds[0]);
    if (watchFd >= 0) close(watchFd);
    if (WIFEXITED(status)) run.ExitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) run.Signal = WTERMSIG(status);
    return run;
}

inline std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// The lines of a log or of standard error, without CR and LF.
inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// A test suite of vantrel4 runs in one scratch folder, made before the suite (MakeFolder in
// SetUpTestSuite) and removed after it (TearDownTestSuite).
class TRunFolderSuite : public ::testing::Test {
  protected:
    // A new empty folder "<prefix>-XXXXXX" in the system's temporary directory.
    static void MakeFolder(const std::string& prefix) {
        std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX"));
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    static void TearDownTestSuite() {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    // tools/make-recording OPTIONS <folder>/NAME.
    static void MakeRecording(const std::string& name, const std::string& options) {
        const std::string command = std::string(VANTREL_TOOLS_DIR) + "/make-recording " + options +
                                    " '" + (dir_ / name).string() + "' >/dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }
    // vantrel4 with the arguments, run in the folder.
    static BatchRun Run(const std::vector<std::string>& args, BatchOptions options = {}) {
        options.WorkDir = dir_;
        return RunBatch(args, options);
    }
    // The lines of a file of the folder (a batch log).
    static std::vector<std::string> Log(const std::string& name) {
        return Lines(ReadBytes(dir_ / name));
    }

    static inline std::filesystem::path dir_;
};

}  // namespace vantrel_test
