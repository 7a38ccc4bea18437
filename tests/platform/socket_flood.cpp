// socket_flood <socket path> <count>: opens count connections to a local
// socket and holds them, silent, until its standard input closes. Prints
// "held <n>" once every connection was made (n of them succeeded).
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 3)
        return 2;
    const int count = std::atoi(argv[2]);
    rlimit limit{};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = limit.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &limit);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, argv[1], sizeof addr.sun_path - 1);
    std::vector<int> held;
    for (int i = 0; i < count; ++i) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            break;
        if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
            std::fprintf(stderr, "connection %d: %s\n", i, std::strerror(errno));
            ::close(fd);
            continue;
        }
        held.push_back(fd);
    }
    std::printf("held %zu\n", held.size());
    std::fflush(stdout);
    char c;
    while (::read(0, &c, 1) > 0) {
    }
    for (int fd : held)
        ::close(fd);
    return 0;
}
