// block_reader <file>: maps the file read-only and writes its first 100000
// bytes to standard output.
#include <cstdio>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

int main(int argc, char** argv) {
    const size_t size = 100000;
    if (argc != 2)
        return 2;
    const int fd = ::open(argv[1], O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 1;
    void* view = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
    if (view == MAP_FAILED)
        return 1;
    const bool ok = std::fwrite(view, 1, size, stdout) == size;
    ::munmap(view, size);
    ::close(fd);
    return ok ? 0 : 1;
}
