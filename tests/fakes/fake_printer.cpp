// A stand-in program for the runner tests: carries out the actions named on its command line.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <string>
#include <time.h>
#include <unistd.h>

namespace {

void writeAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n <= 0)
            return;
        data += n;
        size -= static_cast<size_t>(n);
    }
}

void writeText(int fd, const std::string& text)
{
    writeAll(fd, text.data(), text.size());
}

// Prints "fd -> target" for every open descriptor, so a test can spot inherited pipes.
void listDescriptors()
{
    DIR* dir = opendir("/proc/self/fd");
    if (!dir)
        return;
    const int own = dirfd(dir);
    while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.' || std::atoi(entry->d_name) == own)
            continue;
        char link[256] = {};
        const std::string path = std::string("/proc/self/fd/") + entry->d_name;
        const ssize_t n = readlink(path.c_str(), link, sizeof link - 1);
        if (n > 0)
            writeText(1, std::string(entry->d_name) + " -> " + std::string(link, static_cast<size_t>(n)) + "\n");
    }
    closedir(dir);
}

} // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string action = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : "";
        if (action == "out") {
            writeText(1, value);
            ++i;
        } else if (action == "err") {
            writeText(2, value);
            ++i;
        } else if (action == "line") {
            writeText(1, std::string(value) + "\n");
            ++i;
        } else if (action == "exit") {
            return std::atoi(value);
        } else if (action == "kill") {
            std::signal(std::atoi(value), SIG_DFL);
            raise(std::atoi(value));
            ++i;
        } else if (action == "big") {
            const long total = std::atol(value);
            std::string block(65536, 'x');
            for (long done = 0; done < total; done += static_cast<long>(block.size()))
                writeAll(1, block.data(),
                         static_cast<size_t>(std::min<long>(static_cast<long>(block.size()), total - done)));
            ++i;
        } else if (action == "nul") {
            writeAll(1, "ab\0cd", 5);
        } else if (action == "argv") {
            for (int k = 0; k < argc; ++k)
                writeText(1, std::string("[") + argv[k] + "]\n");
        } else if (action == "fds") {
            listDescriptors();
        } else if (action == "sleepms") {
            const long ms = std::atol(value);
            timespec pause{ms / 1000, (ms % 1000) * 1000000};
            while (nanosleep(&pause, &pause) == -1) {
            }
            ++i;
        }
    }
    return 0;
}
