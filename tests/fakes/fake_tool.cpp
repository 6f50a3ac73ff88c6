// A stand-in for parted and lvm.static in the physical-volume tests: logs each run under its root
// and ends with the exit codes scripted for it.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

const char* const kToolPaths[] = {"/sbin/lvm.static", "/sbin/parted"};

std::string rootOf(const std::string& self, std::string& tool)
{
    for (const char* path : kToolPaths) {
        const std::string suffix = path;
        if (self.size() >= suffix.size() && self.compare(self.size() - suffix.size(), suffix.size(), suffix) == 0) {
            tool = suffix.substr(suffix.rfind('/') + 1);
            return self.substr(0, self.size() - suffix.size());
        }
    }
    return {};
}

// The n-th run (from 0) takes the n-th scripted code; the last one repeats.
int scriptedExit(const std::string& root, const std::string& tool, int run)
{
    std::ifstream script(root + "/exits/" + tool);
    std::vector<int> codes;
    for (int code; script >> code;)
        codes.push_back(code);
    if (codes.empty())
        return 0;
    return codes[static_cast<size_t>(std::min<int>(run, static_cast<int>(codes.size()) - 1))];
}

int nextRun(const std::string& root, const std::string& tool)
{
    mkdir((root + "/exits").c_str(), 0755);
    const std::string counter = root + "/exits/" + tool + ".count";
    int run = 0;
    std::ifstream(counter) >> run;
    std::ofstream(counter) << run + 1;
    return run;
}

} // namespace

int main(int argc, char** argv)
{
    std::string tool;
    const std::string root = rootOf(argv[0], tool);
    if (root.empty())
        return 99;
    std::ofstream log(root + "/calls.log", std::ios::app);
    log << tool;
    for (int i = 1; i < argc; ++i)
        log << '|' << argv[i];
    log << '\n';
    const int run = nextRun(root, tool);
    std::printf("%s run %d\n", tool.c_str(), run + 1);
    return scriptedExit(root, tool, run);
}
