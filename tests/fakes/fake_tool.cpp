// A stand-in program for the runner and physical-volume tests. Linked as /sbin/lvm.static or
// /sbin/parted under a test root it logs each run there and ends with the exit codes scripted for
// it; started under any other name it carries out the actions named on its command line.
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <iostream>
#include <string>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

void writeAll(int fd, std::string_view data)
{
    for (ssize_t n = 0; !data.empty() && (n = write(fd, data.data(), data.size())) > 0;)
        data.remove_prefix(static_cast<size_t>(n));
}

// Prints "fd -> target" for every open descriptor, so a test can spot inherited pipes.
void listDescriptors()
{
    DIR* dir = opendir("/proc/self/fd");
    while (dirent* entry = dir ? readdir(dir) : nullptr) {
        char link[256] = {};
        const std::string path = std::string("/proc/self/fd/") + entry->d_name;
        const ssize_t n = readlink(path.c_str(), link, sizeof link - 1);
        if (entry->d_name[0] != '.' && std::atoi(entry->d_name) != dirfd(dir) && n > 0)
            writeAll(1, std::string(entry->d_name) + " -> " + link + "\n");
    }
    if (dir)
        closedir(dir);
}

int carryOut(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string action = argv[i];
        const std::string value = i + 1 < argc ? argv[i + 1] : "";
        const bool takesValue = action != "nul" && action != "fds";
        if (action == "out" || action == "err" || action == "line")
            writeAll(action == "err" ? 2 : 1, action == "line" ? value + "\n" : value);
        else if (action == "exit")
            return std::atoi(value.c_str());
        else if (action == "big")
            for (long left = std::atol(value.c_str()); left > 0; left -= 65536)
                writeAll(1, std::string(static_cast<size_t>(std::min(left, 65536L)), 'x'));
        else if (action == "nul")
            writeAll(1, std::string_view("ab\0cd", 5));
        else if (action == "fds")
            listDescriptors();
        else if (action == "sleepms")
            for (timespec pause{std::atol(value.c_str()) / 1000, std::atol(value.c_str()) % 1000 * 1000000};
                 nanosleep(&pause, &pause) == -1;) {
            }
        i += takesValue ? 1 : 0;
    }
    return 0;
}

// Logs "tool|arg1|arg2..." to calls.log under `root`; the n-th run (from 0) ends with the n-th code
// of exits/<tool>, the last one repeating.
int logAndExitAsScripted(const std::string& root, const std::string& tool, int argc, char** argv)
{
    std::ofstream log(root + "/calls.log", std::ios::app);
    log << tool;
    for (int i = 1; i < argc; ++i)
        log << '|' << argv[i];
    log << '\n';
    mkdir((root + "/exits").c_str(), 0755);
    const std::string counter = root + "/exits/" + tool + ".count";
    int run = 0;
    std::ifstream(counter) >> run;
    std::ofstream(counter) << run + 1;
    std::cout << tool << " run " << run + 1 << '\n';
    std::ifstream script(root + "/exits/" + tool);
    std::vector<int> codes;
    for (int code; script >> code;)
        codes.push_back(code);
    return codes.empty() ? 0 : codes[std::min<size_t>(static_cast<size_t>(run), codes.size() - 1)];
}

} // namespace

int main(int argc, char** argv)
{
    const std::string self = argv[0];
    for (const std::string tool : {"/sbin/lvm.static", "/sbin/parted"}) {
        if (self.size() > tool.size() && self.compare(self.size() - tool.size(), tool.size(), tool) == 0)
            return logAndExitAsScripted(self.substr(0, self.size() - tool.size()), tool.substr(6), argc, argv);
    }
    return carryOut(argc, argv);
}
