#include "VideoEncoder.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <vector>

extern char** environ;

VideoEncoder::~VideoEncoder() { abort(); }

std::string VideoEncoder::findProgram(const std::string& name)
{
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t begin = 0;
    while (begin <= dirs.size()) {
        size_t end = dirs.find(':', begin);
        if (end == std::string::npos)
            end = dirs.size();
        std::string dir = dirs.substr(begin, end - begin);
        if (dir.empty())
            dir = ".";
        const std::string candidate = dir + "/" + name;
        struct stat info;
        if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(candidate.c_str(), X_OK) == 0)
            return candidate;
        begin = end + 1;
    }
    return "";
}

std::vector<std::string> VideoEncoder::arguments(const Settings& s, const std::string& outputPath)
{
    std::vector<std::string> args = {"-hide_banner", "-loglevel", "error", "-y",
                                     // The picture: raw RGB frames on standard input.
                                     "-f", "rawvideo", "-pix_fmt", "rgb24", "-video_size",
                                     std::to_string(s.width) + "x" + std::to_string(s.height), "-framerate",
                                     std::to_string(s.fps), "-i", "pipe:0"};
    if (!s.audioWav.empty())
        args.insert(args.end(), {"-i", s.audioWav, "-map", "0:v:0", "-map", "1:a:0"});
    // BT.709 in TV range, and said so in the stream: players take untagged HD video for
    // BT.709, and converting with the default BT.601 matrix would shift the colours.
    args.insert(args.end(), {"-vf", "scale=out_color_matrix=bt709:out_range=tv,format=yuv420p", "-colorspace",
                             "bt709", "-color_primaries", "bt709", "-color_trc", "bt709", "-color_range", "tv",
                             "-c:v", "libx264", "-pix_fmt", "yuv420p", "-preset", s.speed});
    if (!s.profile.empty())
        args.insert(args.end(), {"-profile:v", s.profile});
    if (s.videoKbps > 0) {
        const std::string rate = std::to_string(s.videoKbps) + "k";
        // The buffer of a second: x264's HRD model pads every second up to the rate.
        args.insert(args.end(), {"-b:v", rate, "-minrate", rate, "-maxrate", rate, "-bufsize", rate, "-x264-params",
                                 "nal-hrd=cbr:force-cfr=1"});
    } else {
        args.insert(args.end(), {"-crf", std::to_string(s.crf)});
        if (s.maxKbps > 0)
            args.insert(args.end(), {"-maxrate", std::to_string(s.maxKbps) + "k", "-bufsize",
                                     std::to_string(s.maxKbps * 2) + "k"});
    }
    if (!s.audioWav.empty()) {
        args.insert(args.end(), {"-c:a", "aac", "-b:a", std::to_string(s.audioKbps) + "k", "-ac", "2"});
        if (s.audioRate > 0)
            args.insert(args.end(), {"-ar", std::to_string(s.audioRate)});
    }
    // The index (moov) before the data, so a player starts before the whole file is
    // read; the format is named, as the temporary name does not end in .mp4.
    args.insert(args.end(), {"-movflags", "+faststart", "-f", "mp4", outputPath});
    return args;
}

std::vector<std::string> VideoEncoder::environment(const char* const* env)
{
    // 32 MiB is the largest threshold glibc takes: a 4K frame (25 MB) still fits under it.
    const std::string keep = "glibc.malloc.mmap_threshold=33554432:glibc.malloc.trim_threshold=268435456";
    const std::string name = "GLIBC_TUNABLES=";
    std::vector<std::string> out;
    bool found = false;
    for (const char* const* e = env; e && *e; ++e) {
        std::string entry = *e;
        if (entry.compare(0, name.size(), name) == 0) {
            found = true;
            if (entry.find("glibc.malloc.mmap_threshold") == std::string::npos &&
                entry.find("glibc.malloc.trim_threshold") == std::string::npos)
                entry += (entry.size() > name.size() ? ":" : "") + keep;
        }
        out.push_back(entry);
    }
    if (!found)
        out.push_back(name + keep);
    return out;
}

Status VideoEncoder::start(const Settings& s)
{
    abort();
    settings = s;
    const std::string program = findProgram("ffmpeg");
    if (program.empty())
        return Status::failure("ffmpeg is not installed (Debian package \"ffmpeg\"); MP4 output needs it");
    if (s.width < 2 || s.height < 2 || s.width % 2 || s.height % 2)
        return Status::failure("H.264 needs an even width and height, not " + std::to_string(s.width) + "x" +
                               std::to_string(s.height));
    partialPath = s.output + ".partial";

    std::vector<std::string> args = arguments(s, partialPath);
    args.insert(args.begin(), program);

    int fds[2];
    if (pipe(fds) != 0)
        return Status::failure(std::string("cannot make a pipe to ffmpeg: ") + std::strerror(errno));
    // Our end must not leak into the child, or ffmpeg never sees the end of its input.
    fcntl(fds[1], F_SETFD, FD_CLOEXEC);
#ifdef F_SETPIPE_SZ
    // A frame in larger pieces: through the default 64 KiB each 1080p frame wakes both
    // sides about a hundred times. A refusal (a lower system limit) keeps the default.
    (void)fcntl(fds[1], F_SETPIPE_SZ, 1 << 20);
#endif

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[0], 0);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, s.logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    // A process group of its own: a terminal's Ctrl+C goes to the driving program alone.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    // The null-terminated arrays of pointers that posix_spawn takes.
    auto pointers = [](std::vector<std::string>& strings) {
        std::vector<char*> p;
        for (std::string& text : strings)
            p.push_back(text.data());
        p.push_back(nullptr);
        return p;
    };
    std::vector<std::string> env = environment(environ);
    std::vector<char*> argv = pointers(args), envp = pointers(env);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[0]);
    if (spawned != 0) {
        close(fds[1]);
        return Status::failure("cannot run " + program + ": " + std::strerror(spawned));
    }
    child = pid;
    pipeFd = fds[1];
    return Status::success();
}

Status VideoEncoder::writeFrame(const uint8_t* rgb)
{
    if (pipeFd < 0)
        return Status::failure("the encoder is not running");
    size_t left = static_cast<size_t>(settings.width) * static_cast<size_t>(settings.height) * 3;
    while (left > 0) {
        const ssize_t n = write(pipeFd, rgb, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            // ffmpeg has gone: its own words say why.
            close(pipeFd);
            pipeFd = -1;
            Status exited = waitForExit();
            Status stopped = exited ? Status::failure("ffmpeg stopped reading frames") : exited;
            abort();
            return stopped;
        }
        rgb += n;
        left -= static_cast<size_t>(n);
    }
    return Status::success();
}

std::string VideoEncoder::lastLogLine() const
{
    std::ifstream log(settings.logPath);
    std::string line, last;
    while (std::getline(log, line))
        if (line.find_first_not_of(" \t\r") != std::string::npos)
            last = line;
    return last;
}

Status VideoEncoder::waitForExit()
{
    if (child < 0)
        return Status::success();
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    child = -1;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return Status::success();
    const std::string said = lastLogLine();
    std::string error = WIFSIGNALED(status) ? "ffmpeg was killed by signal " + std::to_string(WTERMSIG(status))
                                            : "ffmpeg failed (exit status " + std::to_string(WEXITSTATUS(status)) + ")";
    if (!said.empty())
        error += ": " + said;
    return Status::failure(error);
}

Status VideoEncoder::finish()
{
    if (child < 0)
        return Status::failure("the encoder is not running");
    if (pipeFd >= 0) {
        close(pipeFd);
        pipeFd = -1;
    }
    Status exited = waitForExit();
    if (!exited) {
        abort();
        return exited;
    }
    struct stat info;
    if (stat(partialPath.c_str(), &info) != 0 || info.st_size == 0) {
        Status empty = Status::failure("ffmpeg wrote nothing to " + partialPath);
        abort();
        return empty;
    }
    if (std::rename(partialPath.c_str(), settings.output.c_str()) != 0) {
        Status unmoved = Status::failure("cannot move " + partialPath + " to " + settings.output + ": " +
                                         std::strerror(errno));
        abort();
        return unmoved;
    }
    partialPath.clear();
    return Status::success();
}

void VideoEncoder::abort()
{
    if (pipeFd >= 0) {
        close(pipeFd);
        pipeFd = -1;
    }
    if (child >= 0) {
        kill(child, SIGTERM);
        int status = 0;
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        child = -1;
    }
    if (!partialPath.empty()) {
        std::remove(partialPath.c_str());
        partialPath.clear();
    }
}
