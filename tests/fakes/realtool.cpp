// Stands in for one storage tool under a test's system root by starting the real program of the
// same name. It reads "realtool.conf" from the nearest folder above itself ("lvm_system_dir PATH",
// "device /dev/loopN" for each of the test's loop devices, "tag TEXT" that every group name of
// the test holds, "active VG/LV" for a volume the test gave a device of its own), logs the call to
// "calls.log" beside it, refuses any /dev path that is not the test's own, limits lsblk to the test's
// devices and gives the LVM tool the private configuration. Without device-mapper no volume is
// active, so the full report shows the "active" ones so, their device being the test's.
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct Config {
    std::string folder;
    std::string lvmSystemDir;
    std::string tag;
    std::vector<std::string> devices;
    std::vector<std::string> active;
};

bool startsWith(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool readConfig(std::string folder, Config& config)
{
    while (folder.size() > 1) {
        folder = folder.substr(0, folder.rfind('/'));
        std::ifstream file(folder + "/realtool.conf");
        if (!file)
            continue;
        config.folder = folder;
        for (std::string key, value; file >> key >> value;) {
            if (key == "lvm_system_dir")
                config.lvmSystemDir = value;
            else if (key == "tag")
                config.tag = value;
            else if (key == "device")
                config.devices.push_back(value);
            else if (key == "active")
                config.active.push_back(value);
        }
        return true;
    }
    return false;
}

// A loop device of the test, one of its partitions ("/dev/loop3p2"), or a path under a group of
// the test ("/dev/<name holding the tag>/<volume>").
bool isOwnDevice(const Config& config, const std::string& path)
{
    for (const std::string& device : config.devices) {
        if (path == device)
            return true;
        if (startsWith(path, device + "p") && path.size() > device.size() + 1 &&
            path.find_first_not_of("0123456789", device.size() + 1) == std::string::npos)
            return true;
    }
    return !config.tag.empty() && path.find(config.tag) != std::string::npos;
}

std::string realProgram(const std::string& name, const std::string& self)
{
    for (const char* folder : {"/usr/sbin/", "/sbin/", "/usr/bin/", "/bin/"}) {
        const std::string candidate = folder + name;
        if (candidate != self && access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}

// Runs the LVM tool and copies its report, one record a line, with the configured volumes active.
int reportWithActiveVolumes(const Config& config, const std::string& program, char** argv)
{
    int fds[2];
    if (pipe(fds) != 0)
        return 126;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], STDOUT_FILENO);
        close(fds[0]);
        close(fds[1]);
        execv(program.c_str(), argv);
        _exit(126);
    }
    close(fds[1]);
    FILE* report = fdopen(fds[0], "r");
    char* buffer = nullptr;
    size_t capacity = 0;
    const std::string field = "\"lv_active\":\"";
    while (getline(&buffer, &capacity, report) > 0) {
        std::string line = buffer;
        for (const std::string& volume : config.active) {
            const size_t at = line.find(field);
            if (line.find("\"lv_full_name\":\"" + volume + "\"") != std::string::npos && at != std::string::npos)
                line.replace(at + field.size(), line.find('"', at + field.size()) - at - field.size(), "active");
        }
        std::fputs(line.c_str(), stdout);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

} // namespace

int main(int argc, char** argv)
{
    char buffer[4096] = {};
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    const std::string self = length > 0 ? std::string(buffer, static_cast<size_t>(length)) : std::string(argv[0]);
    const std::string name = self.substr(self.rfind('/') + 1);
    Config config;
    if (!readConfig(self, config)) {
        std::fprintf(stderr, "realtool: no realtool.conf above %s\n", self.c_str());
        return 98;
    }
    std::vector<std::string> args(argv + 1, argv + argc);
    std::ofstream log(config.folder + "/calls.log", std::ios::app);
    log << name;
    for (const std::string& arg : args)
        log << ' ' << arg;
    log << '\n';
    for (const std::string& arg : args) {
        if (startsWith(arg, "/dev/") && !isOwnDevice(config, arg)) {
            std::fprintf(stderr, "realtool: refusing %s: not a device of this test\n", arg.c_str());
            log << "  refused " << arg << '\n';
            return 97;
        }
    }
    log.close(); // execv does not flush it
    if (name == "lsblk")
        args.insert(args.end(), config.devices.begin(), config.devices.end());
    const std::string program = realProgram(name, self);
    if (program.empty()) {
        std::fprintf(stderr, "realtool: no real %s on this machine\n", name.c_str());
        return 127;
    }
    setenv("LVM_SYSTEM_DIR", config.lvmSystemDir.c_str(), 1);
    setenv("LVM_SUPPRESS_FD_WARNINGS", "1", 1);
    const int nullInput = open("/dev/null", O_RDONLY);
    if (nullInput >= 0)
        dup2(nullInput, STDIN_FILENO);
    std::vector<char*> vector{const_cast<char*>(program.c_str())};
    for (std::string& arg : args)
        vector.push_back(arg.data());
    vector.push_back(nullptr);
    if (name == "lvm" && !args.empty() && args.front() == "fullreport" && !config.active.empty())
        return reportWithActiveVolumes(config, program, vector.data());
    execv(program.c_str(), vector.data());
    std::perror("realtool: execv");
    return 126;
}
