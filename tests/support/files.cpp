#include "support/files.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace testsupport {

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

bool FileExists(const std::string& path)
{
    return std::ifstream(path).good();
}

std::string RunCommand(const std::string& command)
{
    std::string out;
    if (FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r")) {
        char buf[4096];
        while (std::size_t n = fread(buf, 1, sizeof buf, pipe))
            out.append(buf, n);
        pclose(pipe);
    }
    return out;
}

} // namespace testsupport
