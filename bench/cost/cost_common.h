#pragma once
// What the cost programs share: goal lines, medians, schedule files and
// readings of /proc.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <dirent.h>
#include <unistd.h>

namespace cost {

inline double Median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// One figure with its goal beside it; the programs exit 0 whatever it says.
inline void ReportGoal(const std::string &figure, double value, const char *unit, double goal)
{
    std::printf("  %-72s %10.3f %-3s  goal <= %g %-3s  %s\n", figure.c_str(), value, unit, goal,
                unit, value <= goal ? "PASS" : "FAIL");
    std::fflush(stdout);
}

inline double MonotonicSeconds()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

// Where generated files are cached between runs.
inline std::string CacheDir()
{
    const std::string dir = "/tmp/tavolin-bench-cost";
    std::system(("mkdir -p '" + dir + "'").c_str());
    return dir;
}

// A settings.xml with `count` events, every weekday on, none due within an
// hour from now (local time), each naming a file that does not exist.
inline bool WriteSchedule(const std::string &path, int count)
{
    const time_t t = time(nullptr);
    tm local;
    localtime_r(&t, &local);
    const int now = local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
    const int span = 86400 - 2 * 3600; // an hour kept free either side of now
    const int step = std::max(1, span / std::max(count, 1));
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Schedule>\n  <Settings>\n"
           "    <Window Top=\"0\" Left=\"0\" Height=\"600\" Width=\"900\" />\n"
           "    <AudioDevice>0</AudioDevice>\n    <MinimiseToTray>0</MinimiseToTray>\n"
           "    <StartMinimised>0</StartMinimised>\n"
           "    <Defaults TimeSeconds=\"28800\" Name=\"Bell\" Mon=\"-1\" Tue=\"-1\" Wed=\"-1\" "
           "Thu=\"-1\" Fri=\"-1\" Sat=\"0\" Sun=\"0\" AudioFile=\"\" />\n  </Settings>\n  <Events>\n";
    char line[400];
    for (int i = 0; i < count; ++i) {
        const int seconds = (now + 3600 + i * step) % 86400;
        std::snprintf(line, sizeof line,
                      "    <Event TimeSeconds=\"%d\" Name=\"Bell %05d\" Mon=\"-1\" Tue=\"-1\" "
                      "Wed=\"-1\" Thu=\"-1\" Fri=\"-1\" Sat=\"-1\" Sun=\"-1\" "
                      "AudioFile=\"/nonexistent/tavolin-bench/bell-%05d.wav\" />\n",
                      seconds, i + 1, i + 1);
        out << line;
    }
    out << "  </Events>\n</Schedule>\n";
    return bool(out);
}

inline std::string ReadText(const std::string &path)
{
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// utime + stime in clock ticks, from a /proc/.../stat line.
inline long long CpuTicksOfStat(const std::string &stat)
{
    const size_t close = stat.rfind(')'); // the name may hold spaces
    if (close == std::string::npos)
        return -1;
    std::istringstream rest(stat.substr(close + 2));
    std::string field;
    long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && rest >> field; ++i) {
        if (i == 14)
            utime = std::atoll(field.c_str());
        if (i == 15)
            stime = std::atoll(field.c_str());
    }
    return utime + stime;
}

inline long long CpuTicks(int pid)
{
    return CpuTicksOfStat(ReadText("/proc/" + std::to_string(pid) + "/stat"));
}

// A "Name:   value kB" field of /proc/<pid>/status; -1 when absent.
inline long long StatusField(const std::string &path, const std::string &name)
{
    std::istringstream in(ReadText(path));
    std::string line;
    while (std::getline(in, line))
        if (line.compare(0, name.size() + 1, name + ":") == 0)
            return std::atoll(line.c_str() + name.size() + 1);
    return -1;
}

inline long long RssKb(int pid)
{
    return StatusField("/proc/" + std::to_string(pid) + "/status", "VmRSS");
}

struct ThreadReading {
    long long ticks = 0;
    long long switches = 0; // voluntary + involuntary: how often it ran
};

// Per thread, keyed by "tid name".
inline std::map<std::string, ThreadReading> Threads(int pid)
{
    std::map<std::string, ThreadReading> out;
    const std::string base = "/proc/" + std::to_string(pid) + "/task";
    DIR *d = opendir(base.c_str());
    if (!d)
        return out;
    while (dirent *e = readdir(d)) {
        if (e->d_name[0] == '.')
            continue;
        const std::string dir = base + "/" + e->d_name;
        std::string comm = ReadText(dir + "/comm");
        if (!comm.empty() && comm.back() == '\n')
            comm.pop_back();
        ThreadReading r;
        r.ticks = CpuTicksOfStat(ReadText(dir + "/stat"));
        r.switches = StatusField(dir + "/status", "voluntary_ctxt_switches") +
                     StatusField(dir + "/status", "nonvoluntary_ctxt_switches");
        out[std::string(e->d_name) + " " + comm] = r;
    }
    closedir(d);
    return out;
}

inline double TicksPerSecond()
{
    return double(sysconf(_SC_CLK_TCK));
}

} // namespace cost
