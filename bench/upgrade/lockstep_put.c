/* The floor for a one-block-in-flight TFTP write on this machine: blocking sendto/recvfrom, one
 * buffer, no event loop. Sends the same write request ("/", octet) from local:14321 to server:69
 * and the file in 512-byte blocks to the port that answered, each after the ACK of the one before.
 * A missing ACK (1 s) resends the block, seven times at most.
 *
 *   bench_lockstep_put LOCAL_IP SERVER_IP FILE
 *
 * Prints "transfer_s S cpu_s C": the write request to the last ACK, and the CPU used meanwhile.
 */
#define _POSIX_C_SOURCE 200809L

#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

enum { BLOCK = 512, HEADER = 4, LOCAL_PORT = 14321, SERVER_PORT = 69, TRIES = 7 };

static double seconds(clockid_t clock) {
    struct timespec ts;
    clock_gettime(clock, &ts);
    return (double)ts.tv_sec + (double)ts.tv_nsec / 1e9;
}

static unsigned char* slurp(const char* path, size_t* size) {
    FILE* f = fopen(path, "rb");
    if (!f) {
        return NULL;
    }
    long n = -1;
    if (fseek(f, 0, SEEK_END) == 0) {
        n = ftell(f);
        rewind(f);
    }
    unsigned char* bytes = n >= 0 ? malloc(n > 0 ? (size_t)n : 1) : NULL;
    if (bytes && fread(bytes, 1, (size_t)n, f) != (size_t)n) {
        free(bytes);
        bytes = NULL;
    }
    fclose(f);
    if (!bytes) {
        return NULL;
    }
    *size = (size_t)n;
    return bytes;
}

/* Sends packet to *peer until an ACK of `block` comes back; the answering address becomes *peer. */
static int exchange(int fd, const unsigned char* packet, size_t length, struct sockaddr_in* peer,
                    unsigned block) {
    unsigned char reply[BLOCK + HEADER];
    for (int tries = 0; tries < TRIES; ++tries) {
        if (sendto(fd, packet, length, 0, (const struct sockaddr*)peer, sizeof *peer) < 0) {
            return -1;
        }
        for (;;) {
            struct sockaddr_in from;
            socklen_t fromLength = sizeof from;
            const ssize_t n = recvfrom(fd, reply, sizeof reply, 0, (struct sockaddr*)&from, &fromLength);
            if (n < 0) {
                break; /* timed out: resend */
            }
            if (n >= 4 && reply[1] == 4 && ((unsigned)reply[2] << 8 | reply[3]) == block) {
                *peer = from;
                return 0;
            }
            if (n >= 2 && reply[1] == 5) {
                return -1;
            }
        }
    }
    return -1;
}

int main(int argc, char** argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: %s LOCAL_IP SERVER_IP FILE\n", argv[0]);
        return 2;
    }
    size_t size = 0;
    unsigned char* image = slurp(argv[3], &size);
    if (!image || size / BLOCK >= 32767) {
        fprintf(stderr, "%s: cannot read %s, or it needs more than 32767 blocks\n", argv[0], argv[3]);
        return 1;
    }
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    struct sockaddr_in local = {.sin_family = AF_INET, .sin_port = htons(LOCAL_PORT)};
    struct sockaddr_in peer = {.sin_family = AF_INET, .sin_port = htons(SERVER_PORT)};
    const struct timeval timeout = {.tv_sec = 1};
    if (fd < 0 || inet_pton(AF_INET, argv[1], &local.sin_addr) != 1 ||
        inet_pton(AF_INET, argv[2], &peer.sin_addr) != 1 ||
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout) != 0 ||
        bind(fd, (const struct sockaddr*)&local, sizeof local) != 0) {
        perror(argv[0]);
        return 1;
    }
    static const unsigned char request[] = {0, 2, '/', 0, 'o', 'c', 't', 'e', 't', 0};
    unsigned char packet[BLOCK + HEADER] = {0, 3};

    const double wall0 = seconds(CLOCK_MONOTONIC);
    const double cpu0 = seconds(CLOCK_PROCESS_CPUTIME_ID);
    if (exchange(fd, request, sizeof request, &peer, 0) != 0) {
        fprintf(stderr, "%s: no answer to the write request\n", argv[0]);
        return 1;
    }
    size_t offset = 0;
    unsigned block = 0;
    size_t length = BLOCK;
    while (length == BLOCK) {
        ++block;
        length = size - offset < BLOCK ? size - offset : BLOCK;
        packet[2] = (unsigned char)(block >> 8);
        packet[3] = (unsigned char)block;
        memcpy(packet + HEADER, image + offset, length);
        offset += length;
        if (exchange(fd, packet, HEADER + length, &peer, block) != 0) {
            fprintf(stderr, "%s: block %u was not acknowledged\n", argv[0], block);
            return 1;
        }
    }
    printf("transfer_s %.6f cpu_s %.6f\n", seconds(CLOCK_MONOTONIC) - wall0,
           seconds(CLOCK_PROCESS_CPUTIME_ID) - cpu0);
    free(image);
    close(fd);
    return 0;
}
