/* The ceiling of a stop-and-wait block protocol that checks its data as this one does: the
 * sender computes the CRC-32 of every block and sends a 30-byte header and the block; the
 * receiver computes the CRC-32 of what it got, compares, writes the block to a file, flushes it
 * and answers 9 bytes. Both ends on this machine's loopback, with TCP_NODELAY.
 *   crc_ceiling BLOCK TOTAL_MB     prints "stop-and-wait with CRC-32 block N: X MB/s" */
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <zlib.h>

enum { HEADER = 30, ACK = 9 };

static int io(int fd, void *buf, size_t n, int reading) {
    char *p = buf;
    while (n) {
        ssize_t k = reading ? read(fd, p, n) : write(fd, p, n);
        if (k <= 0) return -1;
        p += k;
        n -= (size_t)k;
    }
    return 0;
}

static int receiver(int listener, size_t block, long long total, const char *path) {
    int one = 1, c = accept(listener, NULL, NULL);
    setsockopt(c, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    FILE *out = fopen(path, "wb");
    unsigned char *buf = malloc(HEADER + block);
    if (c < 0 || !out || !buf) return 1;
    for (long long got = 0; got < total; got += (long long)block) {
        if (io(c, buf, HEADER + block, 1)) return 1;
        char field[11];  /* number, length, crc: 10 digits each */
        memcpy(field, buf + 20, 10);
        field[10] = '\0';
        unsigned long want = strtoul(field, NULL, 10);
        if (crc32(0L, buf + HEADER, (uInt)block) != want) { fprintf(stderr, "crc_ceiling: CRC mismatch\n"); return 1; }
        if (fwrite(buf + HEADER, 1, block, out) != block || fflush(out)) return 1;
        if (io(c, "+150 OK\0\0", ACK, 0)) return 1;
    }
    fclose(out);
    return 0;
}

int main(int argc, char **argv) {
    if (argc != 3) { fprintf(stderr, "usage: crc_ceiling BLOCK TOTAL_MB\n"); return 2; }
    size_t block = (size_t)atol(argv[1]);
    long long total = atoll(argv[2]) << 20;
    char path[] = "/tmp/crc_ceiling.XXXXXX";
    int tmp = mkstemp(path);
    if (block == 0 || tmp < 0) return 2;
    close(tmp);
    int ls = socket(AF_INET, SOCK_STREAM, 0), one = 1;
    struct sockaddr_in a;
    memset(&a, 0, sizeof a);
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t al = sizeof a;
    if (bind(ls, (struct sockaddr *)&a, sizeof a) || getsockname(ls, (struct sockaddr *)&a, &al) || listen(ls, 1)) {
        perror("crc_ceiling: listen");
        return 1;
    }
    pid_t child = fork();
    if (child == 0) _exit(receiver(ls, block, total, path));
    unsigned char *buf = malloc(HEADER + block);
    for (size_t i = 0; i < HEADER + block; ++i) buf[i] = (unsigned char)(i * 131 + 7);
    int s = socket(AF_INET, SOCK_STREAM, 0);
    if (connect(s, (struct sockaddr *)&a, sizeof a)) { perror("crc_ceiling: connect"); return 1; }
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    struct timespec t0, t1;
    clock_gettime(CLOCK_MONOTONIC, &t0);
    char ack[ACK], head[64];
    unsigned number = 1;
    for (long long sent = 0; sent < total; sent += (long long)block, ++number) {
        buf[HEADER] = (unsigned char)number;  /* every block differs, as file data does */
        snprintf(head, sizeof head, "%010u%010zu%010lu", number, block % 10000000000u,
                 crc32(0L, buf + HEADER, (uInt)block));
        memcpy(buf, head, HEADER);
        if (io(s, buf, HEADER + block, 0) || io(s, ack, ACK, 1)) { fprintf(stderr, "crc_ceiling: broken\n"); return 1; }
    }
    int status = 1;
    waitpid(child, &status, 0);
    clock_gettime(CLOCK_MONOTONIC, &t1);
    unlink(path);
    if (!WIFEXITED(status) || WEXITSTATUS(status)) { fprintf(stderr, "crc_ceiling: the receiver failed\n"); return 1; }
    double sec = (double)(t1.tv_sec - t0.tv_sec) + (double)(t1.tv_nsec - t0.tv_nsec) / 1e9;
    printf("stop-and-wait with CRC-32 block %zu: %.1f MB/s\n", block, (double)total / sec / 1e6);
    return 0;
}
