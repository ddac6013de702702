/*
 * A virtual null-modem cable for pseudo-terminal pairs, preloaded into Wine's
 * processes by the project's own launchers and tests (never with real devices).
 *
 * A pty has no modem lines, so Wine's modem ioctls fail on it and the program's
 * line mirroring could never be seen at work. This library answers them for the
 * pty ends registered in a small shared file (named by TAPLINAR_NULL_MODEM, laid
 * out and filled by tools/nullmodem.py) and wires the two ends of each pair as a
 * null-modem cable: an end's RTS is the other end's CTS, its DTR the other end's
 * DSR and DCD. Every other descriptor and request goes to the C library as is.
 *
 * The cable also carries breaks and line errors, which a pty cannot: an end that
 * holds a break (TIOCSBRK until TIOCCBRK, or TCSBRK / tcsendbreak) raises the far
 * end's break count in TIOCGICOUNT and sends no byte for it, as a port set up
 * with IGNBRK (as Wine sets it up) reads a break; framing, parity and overrun
 * errors and receive overflows are injected by a device through tools/nullmodem.py
 * and show in the far end's counts the same way. Each end counts the bytes it
 * wrote through this library, and a break notes that count when it starts, so a
 * device on the far end knows which of its bytes came before the break.
 *
 * An end whose termios asks for CTS flow control (CRTSCTS, which Wine sets for
 * fOutxCtsFlow) holds a write while its CTS is off, as a UART holds its
 * transmitter: write() waits until the far end raises RTS, or gives up after
 * the program's write time-out (1 s and twice the bytes' time on the line) and
 * fails with ETIME, which Wine reports as error 121, as usbser.sys does. The
 * wait is here and not in Wine: a pty is always writable, and Wine cannot time
 * out or cancel a write that keeps answering EAGAIN on a writable descriptor
 * (every retry restarts it and swallows the cancel).
 *
 * Debian's i386 ntdll.so is built with 64-bit time and calls __ioctl_time64, not
 * ioctl, so both are defined. The library is built 32- and 64-bit; preloaded as
 * .../$LIB/libtapnullmodem.so each process picks its own.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#define STATE_ENV "TAPLINAR_NULL_MODEM"
#define STATE_MAGIC 0x324d4e54u /* "TNM2" */
#define OUTPUTS (TIOCM_RTS | TIOCM_DTR)
/* In an end's outputs: the end holds its transmit line in a break. */
#define TX_BREAK 0x10000u
/* tcsendbreak(fd, 0) holds the break this long (Linux: 250 ms). */
#define SEND_BREAK_US 250000L
/* How often a TIOCMIWAIT caller looks at the far end's outputs. */
#define WAIT_STEP_NS 200000L

/* Little-endian layout shared with tools/nullmodem.py; each end is written by
 * its own side only. */
struct end {
    uint64_t rdev;      /* device number of the pty end, 0 when the slot is free */
    uint32_t out;       /* the end's own outputs: TIOCM_RTS, TIOCM_DTR */
    uint32_t rts_flips; /* changes of RTS so far (the far end's CTS count) */
    uint32_t dtr_flips; /* changes of DTR so far (the far end's DSR and DCD count) */
    /* Breaks and errors this end caused on the far end's receiver: its counts. */
    uint32_t brk;
    uint32_t frame;
    uint32_t parity;
    uint32_t overrun;
    uint32_t buf_overrun;
    uint32_t tx;        /* bytes this end wrote through the library */
    uint32_t brk_tx;    /* tx when the last break started */
    uint32_t brk_us;    /* length of the last break that ended, microseconds */
    uint32_t brk_start; /* when the break held now started, microseconds (wraps) */
    uint32_t unused[2];
};

struct slot {
    struct end end[2];
};

struct state {
    uint32_t magic;
    uint32_t slots;
    uint32_t unused[6];
    struct slot slot[];
};

typedef int (*ioctl_fn)(int, unsigned long, ...);

static struct state* volatile g_state;
static size_t g_state_size;

static struct state* map_state(void)
{
    struct state* state = __atomic_load_n(&g_state, __ATOMIC_ACQUIRE);
    if (state != NULL)
        return state == MAP_FAILED ? NULL : state;
    const char* path = getenv(STATE_ENV);
    int fd = path != NULL ? open(path, O_RDWR | O_CLOEXEC) : -1;
    struct stat st;
    struct state* mapped = MAP_FAILED;
    if (fd >= 0 && fstat(fd, &st) == 0 && (size_t)st.st_size >= sizeof(struct state))
        mapped = mmap(NULL, st.st_size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (fd >= 0)
        close(fd);
    if (mapped != MAP_FAILED && mapped->magic != STATE_MAGIC) {
        munmap(mapped, st.st_size);
        mapped = MAP_FAILED;
    }
    struct state* none = NULL;
    if (!__atomic_compare_exchange_n(&g_state, &none, mapped, 0, __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE)) {
        /* Another thread got there first. */
        if (mapped != MAP_FAILED)
            munmap(mapped, st.st_size);
        return none == MAP_FAILED ? NULL : none;
    }
    if (mapped != MAP_FAILED)
        g_state_size = st.st_size;
    return mapped == MAP_FAILED ? NULL : mapped;
}

/* The end that fd is, with its far end, or 0 when fd is no registered pty. */
static int find_ends(int fd, struct end** own, struct end** far)
{
    struct state* state = map_state();
    struct stat st;
    if (state == NULL || fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode))
        return 0;
    size_t fit = (g_state_size - sizeof(struct state)) / sizeof(struct slot);
    size_t slots = state->slots < fit ? state->slots : fit;
    for (size_t i = 0; i < slots; ++i) {
        for (int j = 0; j < 2; ++j) {
            if (__atomic_load_n(&state->slot[i].end[j].rdev, __ATOMIC_ACQUIRE) == (uint64_t)st.st_rdev) {
                *own = &state->slot[i].end[j];
                *far = &state->slot[i].end[1 - j];
                return 1;
            }
        }
    }
    return 0;
}

static int inputs_of(const struct end* far)
{
    uint32_t out = __atomic_load_n(&far->out, __ATOMIC_ACQUIRE);
    int bits = 0;
    if (out & TIOCM_RTS)
        bits |= TIOCM_CTS;
    if (out & TIOCM_DTR)
        bits |= TIOCM_DSR | TIOCM_CAR;
    return bits;
}

static int modem_bits(const struct end* own, const struct end* far)
{
    return (int)(__atomic_load_n(&own->out, __ATOMIC_ACQUIRE) & OUTPUTS) | inputs_of(far);
}

/* Several threads of one process may drive the same end (the relay of the
 * other port and the window thread's priming), so the update is one atomic
 * step; the flip counts follow what actually changed. */
static void set_outputs(struct end* own, uint32_t set, uint32_t clear)
{
    uint32_t old = __atomic_load_n(&own->out, __ATOMIC_ACQUIRE);
    uint32_t want;
    do {
        want = (old | (set & OUTPUTS)) & ~(clear & OUTPUTS);
    } while (!__atomic_compare_exchange_n(&own->out, &old, want, 0, __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE));
    if ((old ^ want) & TIOCM_RTS)
        __atomic_fetch_add(&own->rts_flips, 1, __ATOMIC_ACQ_REL);
    if ((old ^ want) & TIOCM_DTR)
        __atomic_fetch_add(&own->dtr_flips, 1, __ATOMIC_ACQ_REL);
}

static void wait_for_change(const struct end* own, const struct end* far, int mask)
{
    int before = modem_bits(own, far) & mask;
    struct timespec step = { 0, WAIT_STEP_NS };
    while ((modem_bits(own, far) & mask) == before)
        nanosleep(&step, NULL);
}

static void count_changes(const struct end* own, const struct end* far, struct serial_icounter_struct* counts)
{
    memset(counts, 0, sizeof(*counts));
    counts->cts = (int)__atomic_load_n(&far->rts_flips, __ATOMIC_ACQUIRE);
    counts->dsr = (int)__atomic_load_n(&far->dtr_flips, __ATOMIC_ACQUIRE);
    counts->dcd = counts->dsr;
    counts->brk = (int)__atomic_load_n(&far->brk, __ATOMIC_ACQUIRE);
    counts->frame = (int)__atomic_load_n(&far->frame, __ATOMIC_ACQUIRE);
    counts->parity = (int)__atomic_load_n(&far->parity, __ATOMIC_ACQUIRE);
    counts->overrun = (int)__atomic_load_n(&far->overrun, __ATOMIC_ACQUIRE);
    counts->buf_overrun = (int)__atomic_load_n(&far->buf_overrun, __ATOMIC_ACQUIRE);
    counts->tx = (int)__atomic_load_n(&own->tx, __ATOMIC_ACQUIRE);
}

static uint32_t now_us(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (uint32_t)(ts.tv_sec * 1000000LL + ts.tv_nsec / 1000);
}

/* The far end's receiver sees a break from its start: its count goes up at
 * once, as a UART's does when the line has been low for a character. */
static void break_on(struct end* own)
{
    uint32_t old = __atomic_fetch_or(&own->out, TX_BREAK, __ATOMIC_ACQ_REL);
    if (old & TX_BREAK)
        return;
    __atomic_store_n(&own->brk_start, now_us(), __ATOMIC_RELEASE);
    __atomic_store_n(&own->brk_tx, __atomic_load_n(&own->tx, __ATOMIC_ACQUIRE), __ATOMIC_RELEASE);
    __atomic_fetch_add(&own->brk, 1, __ATOMIC_ACQ_REL);
}

static void break_off(struct end* own)
{
    uint32_t old = __atomic_fetch_and(&own->out, ~TX_BREAK, __ATOMIC_ACQ_REL);
    if (old & TX_BREAK)
        __atomic_store_n(&own->brk_us, now_us() - __atomic_load_n(&own->brk_start, __ATOMIC_ACQUIRE),
                         __ATOMIC_RELEASE);
}

/* TCSBRK with 0 is tcsendbreak(fd, 0); with any other value it is tcdrain and
 * goes to the C library. */
static void send_break(struct end* own)
{
    struct timespec hold = { 0, SEND_BREAK_US * 1000L };
    break_on(own);
    nanosleep(&hold, NULL);
    break_off(own);
}

/* Descriptors a modem request was answered for: only their writes are looked at,
 * so the process's other writes (Wine's server requests) cost nothing more. */
#define TRACKED_FDS 4096
static unsigned char g_modem_fd[TRACKED_FDS];

static void track(int fd)
{
    if (fd >= 0 && fd < TRACKED_FDS)
        __atomic_store_n(&g_modem_fd[fd], 1, __ATOMIC_RELEASE);
}

/* Answers a modem request for a registered end (1), or leaves it alone (0). */
static int answer(int fd, unsigned long request, void* arg, int* result)
{
    if (request != TIOCMGET && request != TIOCMSET && request != TIOCMBIS && request != TIOCMBIC
        && request != TIOCMIWAIT && request != TIOCGICOUNT && request != TIOCSBRK && request != TIOCCBRK
        && !(request == TCSBRK && (int)(uintptr_t)arg == 0))
        return 0;
    struct end* own;
    struct end* far;
    if (!find_ends(fd, &own, &far))
        return 0;
    *result = 0;
    track(fd);
    switch (request) {
    case TIOCMGET:
        *(int*)arg = modem_bits(own, far);
        break;
    case TIOCMSET:
        set_outputs(own, *(const int*)arg, ~*(const int*)arg);
        break;
    case TIOCMBIS:
        set_outputs(own, *(const int*)arg, 0);
        break;
    case TIOCMBIC:
        set_outputs(own, 0, *(const int*)arg);
        break;
    case TIOCMIWAIT:
        wait_for_change(own, far, (int)(uintptr_t)arg);
        break;
    case TIOCGICOUNT:
        count_changes(own, far, (struct serial_icounter_struct*)arg);
        break;
    case TIOCSBRK:
        break_on(own);
        break;
    case TIOCCBRK:
        break_off(own);
        break;
    case TCSBRK:
        send_break(own);
        break;
    }
    return 1;
}

/* The C library's own function of that name, looked up once. */
static void* next_fn(const char* name, void** cache)
{
    void* fn = __atomic_load_n(cache, __ATOMIC_ACQUIRE);
    if (fn == NULL) {
        fn = dlsym(RTLD_NEXT, name);
        __atomic_store_n(cache, fn, __ATOMIC_RELEASE);
    }
    return fn;
}

#define MODEM_IOCTL(name)                                                    \
    int name(int fd, unsigned long request, ...)                             \
    {                                                                        \
        static void* next;                                                   \
        va_list ap;                                                          \
        va_start(ap, request);                                               \
        void* arg = va_arg(ap, void*);                                       \
        va_end(ap);                                                          \
        int result;                                                          \
        if (answer(fd, request, arg, &result))                               \
            return result;                                                   \
        return ((ioctl_fn)next_fn(#name, &next))(fd, request, arg);          \
    }

MODEM_IOCTL(ioctl)
#if defined(__i386__)
MODEM_IOCTL(__ioctl_time64)
#endif

typedef ssize_t (*write_fn)(int, const void*, size_t);

static long long now_ms(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000LL + ts.tv_nsec / 1000000;
}

/* Waits while a registered end with CTS flow control has CTS off; answers 0
 * once it may send, -1 when the write time-out passed first. */
static int wait_for_cts(int fd, size_t count)
{
    if (fd < 0 || fd >= TRACKED_FDS || !__atomic_load_n(&g_modem_fd[fd], __ATOMIC_ACQUIRE))
        return 0;
    struct end* own;
    struct end* far;
    struct termios tio;
    if (!find_ends(fd, &own, &far) || tcgetattr(fd, &tio) != 0 || !(tio.c_cflag & CRTSCTS))
        return 0;
    static const struct { speed_t code; long bits; } speeds[] = {
        { B4800, 4800 }, { B9600, 9600 }, { B19200, 19200 }, { B38400, 38400 },
        { B57600, 57600 }, { B115200, 115200 }, { B230400, 230400 }, { B460800, 460800 },
        { B921600, 921600 } };
    long bits = 9600;
    for (size_t i = 0; i < sizeof(speeds) / sizeof(speeds[0]); ++i)
        if (cfgetospeed(&tio) == speeds[i].code)
            bits = speeds[i].bits;
    long long deadline = now_ms() + 1000 + (long long)count * 20000 / bits + 1;
    struct timespec step = { 0, 1000000L };
    while (!(inputs_of(far) & TIOCM_CTS)) {
        if (now_ms() >= deadline)
            return -1;
        nanosleep(&step, NULL);
    }
    return 0;
}

static void count_written(int fd, ssize_t written)
{
    struct end* own;
    struct end* far;
    if (written > 0 && fd >= 0 && fd < TRACKED_FDS && __atomic_load_n(&g_modem_fd[fd], __ATOMIC_ACQUIRE)
        && find_ends(fd, &own, &far))
        __atomic_fetch_add(&own->tx, (uint32_t)written, __ATOMIC_ACQ_REL);
}

ssize_t write(int fd, const void* buffer, size_t count)
{
    static void* next;
    if (count > 0 && wait_for_cts(fd, count) != 0) {
        errno = ETIME;
        return -1;
    }
    ssize_t written = ((write_fn)next_fn("write", &next))(fd, buffer, count);
    count_written(fd, written);
    return written;
}
