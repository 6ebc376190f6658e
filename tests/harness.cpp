#include "harness.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <random>
#include <sstream>
#include <stdexcept>

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

ScratchDir::ScratchDir() {
    std::string pattern = (fs::temp_directory_path() / "slicevol-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path = pattern;
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    fs::remove_all(path, ignored);
}

std::string readFile(const fs::path &file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + file.string());
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void writeFile(const fs::path &file, const std::string &bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + file.string());
}

Snapshot snapshot(const fs::path &dir) {
    Snapshot entries;
    for (const auto &entry : fs::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_symlink()) entries[name] = "link:" + fs::read_symlink(entry.path()).string();
        else if (entry.is_directory()) entries[name] = "dir";
        else if (entry.is_fifo()) entries[name] = "fifo";
        else if (access(entry.path().c_str(), R_OK) != 0) entries[name] = "unreadable";
        else entries[name] = "file:" + readFile(entry.path());
    }
    return entries;
}

namespace {

// Runs as nobody need a copy of a build file that nobody can reach: the build tree may lie under a
// folder only its owner may enter (a mode-0700 home). One copy each, for the whole test program.
std::string reachableBy(const RunOptions &options, const fs::path &file) {
    if (!options.unprivileged || geteuid() != 0) return file;
    static ScratchDir shared;
    fs::permissions(shared.path, fs::perms::others_exec, fs::perm_options::add);
    const fs::path copy = shared.path / file.filename();
    if (!fs::exists(copy)) fs::copy_file(file, copy);
    return copy;
}

// The environment for the run: ours, with the given NAME=value pairs replacing any of the same
// name.
std::vector<std::string> runEnvironment(const RunOptions &options) {
    std::vector<std::string> added = options.env;
    if (testingWindows()) {
        added.push_back("WINEDEBUG=-all"); // no notes of Wine's own on standard error
        added.push_back(
            "LC_ALL=C.UTF-8"); // the arguments' bytes are UTF-8, as a user's terminal gives them
    }
    if (options.preloadShim) {
        added.push_back("LD_PRELOAD=" + reachableBy(options, FAULT_SHIM));
        // A sanitizer build wants its runtime first; the shim only wraps plain libc calls.
        added.push_back("ASAN_OPTIONS=verify_asan_link_order=0");
    }
    std::vector<std::string> env;
    for (char **e = environ; *e != nullptr; e++) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('='));
        bool replaced = false;
        for (const std::string &a : added)
            if (a.substr(0, a.find('=')) == name) replaced = true;
        if (!replaced) env.push_back(entry);
    }
    env.insert(env.end(), added.begin(), added.end());
    return env;
}

std::vector<char *> pointers(std::vector<std::string> &texts) {
    std::vector<char *> result;
    for (std::string &t : texts) result.push_back(t.data());
    result.push_back(nullptr);
    return result;
}

// Closes every descriptor from 3 on, so that a started program holds only 0, 1 and 2. The kernel's
// close_range is called directly, since glibc wraps it only from 2.34 on; where the kernel lacks
// it, the descriptors are closed one by one up to the process's limit.
bool closeAllButStandard() {
#ifdef SYS_close_range
    if (syscall(SYS_close_range, 3u, ~0u, 0u) == 0) return true;
#endif
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return false;
    const rlim_t last = limit.rlim_cur == RLIM_INFINITY ? 1u << 20 : limit.rlim_cur;
    for (rlim_t fd = 3; fd < last; fd++) close(static_cast<int>(fd));
    return true;
}

[[noreturn]] void childFailed(const char *what) {
    std::perror(what);
    _exit(127);
}

} // namespace

bool testingWindows() { return std::string(SLICEVOL_LAUNCHER) != ""; }

namespace {

// Rows skipped so far, and the test they belong to.
std::string skippingTest;
std::size_t skippedRows;

std::string currentTest() {
    return ::testing::UnitTest::GetInstance()->current_test_info()->name();
}

} // namespace

void skipRow(const std::string &why) {
    if (skippingTest != currentTest()) skippedRows = 0;
    skippingTest = currentTest();
    skippedRows++;
    std::cout << "skipped: " << skippingTest << ": " << why << std::endl;
}

void skipIfEveryRowSkipped(std::size_t rows) {
    if (skippingTest == currentTest() && skippedRows == rows)
        GTEST_SKIP() << "skipped: " << currentTest() << ": none of its " << rows
                     << " rows can run here";
}

std::string windowsPath(const fs::path &path) {
    std::string windows = "Z:" + fs::absolute(path).string();
    std::replace(windows.begin(), windows.end(), '/', '\\');
    return windows;
}

std::string programWord() { return testingWindows() ? windowsPath(SLICEVOL_BIN) : "slicevol"; }

namespace {

// Checks that every line ends in CR LF, then makes it end in LF.
std::string fromConsoleText(const std::string &text) {
    std::string lines;
    for (std::size_t i = 0; i < text.size(); i++) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            ADD_FAILURE() << "a line ends in LF alone: " << text;
        if (text[i] != '\r' || i + 1 == text.size() || text[i + 1] != '\n') lines += text[i];
    }
    return lines;
}

// Sends SIGINT (or does `instead`) once the file holds `text`, or answers when the run has ended
// before it does.
void interruptAt(pid_t pid, const fs::path &file, const std::string &text,
                 const std::function<void(pid_t)> &instead) {
    siginfo_t ended = {};
    while (waitid(P_PID, static_cast<id_t>(pid), &ended, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           ended.si_pid == 0) {
        std::ifstream in(file, std::ios::binary);
        const std::string seen((std::istreambuf_iterator<char>(in)), {});
        if (seen.find(text) != std::string::npos) {
            if (instead) instead(pid);
            else kill(pid, SIGINT);
            return;
        }
        usleep(1000); // polling a file: the run goes on meanwhile, nothing is timed
    }
    ADD_FAILURE() << "the run ended before its output held " << text;
}

// The console's Ctrl-C under Wine: SIGINT makes Wine start a thread in the process that runs the
// console handler. The run's standard output is a pipe of one page, which the test stops reading
// once `text` shows: the run soon blocks on it and cannot finish. Only when the handler's thread
// has come and gone (the stop is asked for by then) is the pipe read on, to its end.
std::string ctrlCAt(pid_t pid, int out, const std::string &text) {
    std::string seen;
    char chunk[4096];
    while (seen.find(text) == std::string::npos) {
        const ssize_t got = read(out, chunk, sizeof chunk);
        if (got <= 0) {
            ADD_FAILURE() << "the run ended before its output held " << text;
            return seen;
        }
        seen.append(chunk, static_cast<std::size_t>(got));
    }
    const auto threads = [pid] {
        const fs::directory_iterator tasks("/proc/" + std::to_string(pid) + "/task");
        return static_cast<std::size_t>(std::distance(fs::begin(tasks), fs::end(tasks)));
    };
    const std::size_t before = threads();
    kill(pid, SIGINT);
    bool started = false;
    for (long polls = 0; polls < 200000;
         polls++) { // some 20 s: a handler that never runs fails below
        const std::size_t now = threads();
        if (now > before) started = true;
        else if (started && now <= before) break;
        usleep(100); // polling the process's threads, not timing the run
    }
    for (ssize_t got; (got = read(out, chunk, sizeof chunk)) > 0;)
        seen.append(chunk, static_cast<std::size_t>(got));
    return seen;
}

} // namespace

RunResult runSlicevol(const fs::path &dir, const std::vector<std::string> &args,
                      const RunOptions &options) {
    ScratchDir streams;
    const fs::path outPath = streams.path / "stdout", errPath = streams.path / "stderr";
    std::vector<std::string> argv = options.argv.value_or(std::vector<std::string>{"slicevol"});
    if (!options.argv) argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> env = runEnvironment(options);
    std::string program = reachableBy(options, SLICEVOL_BIN);
    if (testingWindows()) {
        // Wine starts slicevol.exe by its path; the program word is that path (programWord()).
        argv.at(0) = program;
        argv.insert(argv.begin(), SLICEVOL_LAUNCHER);
        program = SLICEVOL_LAUNCHER;
        // Wine itself hangs when started with a standard descriptor closed: slicevol.exe is started
        // with no such handle instead, by a program that does so.
        if (!options.closedDescriptors.empty()) {
            std::string which, commandLine = "\"" + programWord() + "\"";
            for (int fd : options.closedDescriptors) which += std::to_string(fd);
            for (std::size_t i = 2; i < argv.size(); i++) commandLine += " \"" + argv[i] + "\"";
            argv = {SLICEVOL_LAUNCHER, windowsHelper("startWithout.exe").string(), which,
                    commandLine};
        }
    }
    std::vector<char *> argvPointers = pointers(argv), envPointers = pointers(env);

    int pipeEnds[2] = {-1, -1};
    const bool ctrlC =
        testingWindows() && !options.interruptAt.empty() && !options.insteadOfInterrupt;
    if (ctrlC) {
        if (pipe(pipeEnds) != 0 || fcntl(pipeEnds[1], F_SETPIPE_SZ, 4096) < 0)
            throw std::runtime_error("pipe failed");
    }
    if (options.stdoutToClosedPipe) {
        if (pipe(pipeEnds) != 0) throw std::runtime_error("pipe failed");
        close(pipeEnds[0]); // the reader is gone before slicevol can write a byte
    }

    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0) childFailed("chdir");
        if (options.removeDirFirst && rmdir(dir.c_str()) != 0) childFailed("rmdir");
        int out = options.stdoutToClosedPipe || ctrlC
                      ? pipeEnds[1]
                      : open(outPath.c_str(), O_WRONLY | O_CREAT, 0600);
        int err = open(errPath.c_str(), O_WRONLY | O_CREAT, 0600);
        if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) childFailed("redirect");
        // slicevol gets the descriptors a user's shell would give it: 0, 1 and 2, nothing of ours.
        if (!closeAllButStandard()) childFailed("closing descriptors");
        if (!testingWindows())
            for (int fd : options.closedDescriptors) close(fd);
        sigset_t blocked;
        sigemptyset(&blocked);
        for (int sig : options.blockedSignals) sigaddset(&blocked, sig);
        sigprocmask(SIG_SETMASK, &blocked, nullptr);
        for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGXFSZ, SIGXCPU})
            signal(sig, SIG_DFL);
        for (int sig : options.ignoredSignals) signal(sig, SIG_IGN);
        if (options.fileSizeLimit >= 0) {
            const rlimit limit = {static_cast<rlim_t>(options.fileSizeLimit),
                                  static_cast<rlim_t>(options.fileSizeLimit)};
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0) childFailed("setrlimit");
        }
        const rlimit noCore = {0, 0}; // a signal that dumps core must not leave a file behind
        if (setrlimit(RLIMIT_CORE, &noCore) != 0) childFailed("setrlimit");
        if (options.unprivileged && geteuid() == 0) {
            const gid_t nobody = 65534;
            if (setgroups(0, nullptr) != 0 || setgid(nobody) != 0 || setuid(nobody) != 0)
                childFailed("drop privileges");
        }
        execve(program.c_str(), argvPointers.data(), envPointers.data());
        childFailed("execve");
    }
    if (options.stdoutToClosedPipe || ctrlC) close(pipeEnds[1]);
    std::string piped;
    if (ctrlC) {
        piped = ctrlCAt(pid, pipeEnds[0], options.interruptAt);
        close(pipeEnds[0]);
    } else if (!options.interruptAt.empty()) {
        interruptAt(pid, outPath, options.interruptAt, options.insteadOfInterrupt);
    }

    int status = 0;
    for (;;) {
        if (waitpid(pid, &status, WUNTRACED) != pid) throw std::runtime_error("waitpid failed");
        if (!WIFSTOPPED(status)) break;
        if (options.whenStopped) options.whenStopped(pid);
        kill(pid, SIGCONT);
    }
    RunResult result;
    if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    if (ctrlC) result.out = piped;
    else if (!options.stdoutToClosedPipe) result.out = readFile(outPath);
    result.err = readFile(errPath);
    if (testingWindows()) {
        result.out = fromConsoleText(result.out);
        result.err = fromConsoleText(result.err);
    }
    return result;
}

fs::path windowsHelper(const std::string &name) {
    return fs::path(SLICEVOL_BIN).parent_path() / name;
}

pid_t startUnderWine(const fs::path &dir, const std::vector<std::string> &args) {
    std::vector<std::string> argv = {SLICEVOL_LAUNCHER};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> env = runEnvironment({});
    std::vector<char *> argvPointers = pointers(argv), envPointers = pointers(env);
    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        const int null = open("/dev/null", O_RDWR);
        if (chdir(dir.c_str()) != 0 || null < 0 || dup2(null, 0) < 0 || dup2(null, 1) < 0 ||
            dup2(null, 2) < 0 || !closeAllButStandard())
            childFailed("start");
        execve(SLICEVOL_LAUNCHER, argvPointers.data(), envPointers.data());
        childFailed("execve");
    }
    return pid;
}

int waitFor(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) throw std::runtime_error("waitpid failed");
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

MountedFs::MountedFs(const std::string &type, unsigned mebibytes, const std::string &options) {
    path = place.path / "mounted";
    fs::create_directory(path);
    const std::string size = std::to_string(mebibytes) + "M",
                      image = (place.path / "image").string();
    const std::string mount =
        type == "tmpfs"
            ? "mount -t tmpfs -o size=" + size + " tmpfs '" + path.string() + "'"
            : "truncate -s " + size + " '" + image + "' && mkfs." + type + " -q '" + image +
                  "' && mount -o loop" + (options.empty() ? "" : "," + options) + " '" + image +
                  "' '" + path.string() + "'";
    if (geteuid() != 0) why = "mounting a " + type + " needs root";
    else if (std::system((mount + " >/dev/null 2>&1").c_str()) != 0)
        why = "no " + type + " could be made and mounted (mkfs." + type +
              " missing, or no loop device here)";
    else fs::permissions(path, fs::perms::all);
}

MountedFs::~MountedFs() {
    if (why.empty() && std::system(("umount '" + path.string() + "'").c_str()) != 0)
        ADD_FAILURE() << "could not unmount " << path;
}

Stack symlinkStack(const fs::path &store, const fs::path &dir, const std::string &base,
                   unsigned width, unsigned height, unsigned count, char grey) {
    Stack stack = makeStack(store, base, width, height, count);
    for (std::size_t z = 0; z < count; z++) {
        if (grey != 0) {
            stack.pixels[z].assign(stack.pixels[z].size(), grey);
            writeFile(store / stack.names[z], tga(width, height, stack.pixels[z]));
        }
        fs::create_symlink(store / stack.names[z], dir / stack.names[z]);
    }
    return stack;
}

RunOptions withShim(const std::string &settings) {
    RunOptions options;
    options.preloadShim = true;
    std::istringstream each(settings);
    for (std::string setting; each >> setting;) options.env.push_back(setting);
    return options;
}

pid_t newestThread(pid_t pid) {
    pid_t newest = pid;
    for (const auto &task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task"))
        newest = std::max<pid_t>(newest, std::stoi(task.path().filename().string()));
    return newest;
}

std::string tga(unsigned width, unsigned height, const std::string &pixels,
                unsigned char descriptor, const std::string &imageId) {
    std::string header(18, '\0');
    header[0] = static_cast<char>(imageId.size());
    header[2] = 2;
    header[12] = static_cast<char>(width & 0xff);
    header[13] = static_cast<char>(width >> 8);
    header[14] = static_cast<char>(height & 0xff);
    header[15] = static_cast<char>(height >> 8);
    header[16] = 24;
    header[17] = static_cast<char>(descriptor);
    header.append(imageId).append(pixels);
    return header;
}

std::string randomPixels(unsigned width, unsigned height, unsigned seed) {
    std::mt19937 random(seed);
    std::string pixels(std::size_t{width} * height * 3, '\0');
    for (char &byte : pixels) byte = static_cast<char>(random() & 0xff);
    return pixels;
}

std::string modelVolume(unsigned width, unsigned height, const std::vector<std::string> &slices,
                        int channel) {
    const auto size = [](unsigned v) { return std::string{char(v >> 8), char(v & 0xff)}; };
    std::string volume = size(width) + size(height) + size(unsigned(slices.size()));
    // A pixel is stored blue, green, red: red (channel 0) is its third byte.
    for (const std::string &pixels : slices)
        for (std::size_t p = 0; p < std::size_t{width} * height; p++)
            volume += pixels[3 * p + 2 - channel];
    return volume;
}

std::string progressLines(const std::vector<std::string> &names) {
    std::string lines;
    for (const std::string &name : names) lines += "adding file '" + name + "'\n";
    return lines;
}

std::vector<std::string> outputNames(const std::string &base) {
    return {base + "_r.df3", base + "_g.df3", base + "_b.df3"};
}

std::string errorLine(int error) {
    return programWord() + ": error " + std::strerror(error) + "\n";
}

std::string refusalLine(const std::string &base) {
    return "preparing DF3s for '" + base + "' failed.\n";
}

std::string noMatchLine(const std::string &base) {
    return "error no file matches '" + base + "*.tga' (or too many).\n";
}

std::string warningLine(const std::string &slice, const std::string &has, unsigned width,
                        unsigned height) {
    return programWord() + ": warning '" + slice + "' has " + has + "; read as " +
           std::to_string(width) + " x " + std::to_string(height) +
           " uncompressed 24-bit pixels from byte 18 all the same\n";
}

int shellIn(const fs::path &dir, const std::string &command) {
    return std::system(("cd '" + dir.string() + "' && " + command).c_str());
}

std::string sliceName(const std::string &base, unsigned i) {
    char number[16];
    std::snprintf(number, sizeof number, "%03u", i);
    return base + number + ".tga";
}

Stack makeStack(const fs::path &dir, const std::string &base, unsigned width, unsigned height,
                unsigned count, unsigned seed) {
    Stack stack;
    for (unsigned i = 0; i < count; i++) {
        stack.names.push_back(sliceName(base, i));
        stack.pixels.push_back(randomPixels(width, height, seed * 1000 + i));
        writeFile(dir / stack.names.back(), tga(width, height, stack.pixels.back()));
    }
    return stack;
}
