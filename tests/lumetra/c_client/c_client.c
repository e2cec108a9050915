// SPDX-License-Identifier: Apache-2.0
/* A C program using the installed library: it opens a tiny unit of its own
 * (a child process on ADDRESS:1283), reads the mode table and checks the
 * string results. Usage: c_client ADDRESS */
#include <arpa/inet.h>
#include <lumetra/lumetra.h>
#include <netinet/in.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

static int failures = 0;

#define CHECK(cond)                                                            \
    do {                                                                       \
        if (!(cond)) {                                                         \
            fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #cond); \
            ++failures;                                                        \
        }                                                                      \
    } while (0)

static const char* definitions = "UnitID = STRING,16 Name of the unit\r\nPOSTimeout = INTEGER\r\n";
static const char* values = "UnitID = Till 4\r\nPOSTimeout = 10\r\n";

static int readAll(int fd, unsigned char* p, size_t n) {
    while (n > 0) {
        ssize_t got = read(fd, p, n);
        if (got <= 0)
            return 0;
        p += got;
        n -= (size_t)got;
    }
    return 1;
}

static void reply(int fd, const char* text) {
    unsigned char frame[512];
    size_t length = 8 + strlen(text) + 1;
    frame[0] = 0;
    frame[1] = 0;
    frame[2] = (unsigned char)(length >> 8);
    frame[3] = (unsigned char)length;
    memcpy(frame + 4, "MODR", 4);
    memcpy(frame + 8, text, strlen(text) + 1);
    if (write(fd, frame, length) != (ssize_t)length)
        exit(2);
}

/* The unit: answers each query of one connection with a MODR frame. */
static void serveUnit(int listener) {
    int fd = accept(listener, NULL, NULL);
    unsigned char frame[512];
    while (fd >= 0 && readAll(fd, frame, 4)) {
        size_t length = ((size_t)frame[2] << 8) | frame[3];
        if (frame[0] != 0 || frame[1] != 0 || length < 9 || length > sizeof frame)
            break;
        if (!readAll(fd, frame + 4, length - 4))
            break;
        const char* query = (const char*)frame + 8;
        if (query[0] == '\0')
            reply(fd, definitions);
        else if (strcmp(query, "*") == 0)
            reply(fd, values);
        else if (strcmp(query, "UnitID") == 0)
            reply(fd, "UnitID = Till 77");
        else
            reply(fd, "OK");
    }
    exit(0);
}

static pid_t startUnit(const char* address) {
    struct sockaddr_in sa;
    int one = 1;
    int listener = socket(AF_INET, SOCK_STREAM, 0);
    memset(&sa, 0, sizeof sa);
    sa.sin_family = AF_INET;
    sa.sin_port = htons(LUMETRA_PORT);
    if (inet_pton(AF_INET, address, &sa.sin_addr) != 1)
        return -1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (bind(listener, (struct sockaddr*)&sa, sizeof sa) != 0 || listen(listener, 1) != 0)
        return -1;
    pid_t pid = fork();
    if (pid == 0)
        serveUnit(listener);
    close(listener);
    return pid;
}

static int equals(LumetraString s, const char* text) {
    int same = s != NULL && strcmp(s, text) == 0;
    LumetraFreeString(s);
    return same;
}

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: c_client ADDRESS\n");
        return 2;
    }
    pid_t unit = startUnit(argv[1]);
    CHECK(unit > 0);

    CHECK(uxOpen(argv[1]) == 2);
    CHECK(uxGetLastError() == 0);
    CHECK(equals(GetFirstModeName(), "UnitID"));
    CHECK(equals(GetNextModeName(), "POSTimeout"));
    CHECK(equals(GetNextModeName(), ""));
    CHECK(GetModeSize("unitid") == 16);
    CHECK(equals(GetModeHelp("UnitID"), "Name of the unit"));
    CHECK(equals(GetModeType("POSTimeout"), "INTEGER"));

    /* Odd and even lengths: whole two-byte units, two zero bytes after. */
    LumetraString even = GetNVRamMode("UnitID"); /* "Till 4": 6 bytes */
    LumetraString odd = GetMode("UnitID");       /* "Till 77": 7 bytes */
    LumetraString two = GetNVRamMode("POSTimeout");
    LumetraString three = GetModeType("UnitID");
    CHECK(LumetraStringByteLen(odd) == 8 && strcmp(odd, "Till 77") == 0 && odd[7] == 0 &&
          odd[9] == 0);
    CHECK(LumetraStringByteLen(even) == 6 && strcmp(even, "Till 4") == 0 && even[7] == 0);
    CHECK(LumetraStringByteLen(two) == 2 && two[2] == 0 && two[3] == 0);
    CHECK(LumetraStringByteLen(three) == 6 && memcmp(three, "STRING\0\0", 8) == 0);
    LumetraFreeString(odd);
    LumetraFreeString(even);
    LumetraFreeString(two);
    LumetraFreeString(three);

    CHECK(uxSetMode("POSTimeout", "20") == 1);
    CHECK(uxClose() == 1);
    CHECK(SendDisplayText("after close") == 0);
    CHECK(equals(GetNVRamMode("POSTimeout"), "10"));
    LumetraFreeString(NULL);

    if (unit > 0) {
        kill(unit, SIGTERM);
        waitpid(unit, NULL, 0);
    }
    if (failures == 0)
        printf("c_client: all checks passed\n");
    return failures == 0 ? 0 : 1;
}
