/* A V4L2 camera at /dev/video0 for the tests, loaded into Wine with LD_PRELOAD.
 *
 * Wine reaches a camera with stat, open, a handful of ioctls, read and close; this
 * library answers those calls for /dev/video0 and hands every other call on. Its frames
 * are BGR24 and say where they came from: the first four pixels of the top row carry
 * a 32-bit frame counter (byte k of it in all three channels of pixel k, least
 * significant first); elsewhere blue is x, green is y (both modulo 256) and red holds
 * the high bits of x and y, so a test can tell position, orientation, colour order and
 * freshness. Frames come at 10 per second.
 *
 * The test steers it through files in $FAKE_CAMERA_DIR:
 *   vanished  the device is gone: open and stat give ENOENT, read and ioctl ENODEV
 *   stalled   the device is there but sends nothing: read gives EAGAIN
 *   size      "WxH": the frame size the device offers from its next opening
 *   slow_open milliseconds that each opening of the device takes (a driver slow to wake)
 *   log       written by the library: "open" and "close" of the device, a line each,
 *             and "slow" when a slow opening begins
 *
 * It never ships: it is built only for the tests. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <linux/videodev2.h>
#include <pthread.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <time.h>
#include <unistd.h>

/* The symbols that Wine's own calls reach. i386 Wine is built with 64-bit file offsets
 * and time, and so is this library there (-D_FILE_OFFSET_BITS=64 -D_TIME_BITS=64): its
 * open, openat, stat and ioctl below are then those symbols, by the headers' redirects. */
#if defined(__x86_64__)
#define REAL_OPEN "open"
#define REAL_OPENAT "openat"
#define REAL_STAT "stat"
#define REAL_IOCTL "ioctl"
#else
#define REAL_OPEN "open64"
#define REAL_OPENAT "openat64"
#define REAL_STAT "__stat64_time64"
#define REAL_IOCTL "__ioctl_time64"
#endif

#define FAKE_DEVICE "/dev/video0"
#define FAKE_WIDTH 320
#define FAKE_HEIGHT 240
#define FRAME_NS 100000000L /* 10 frames a second */
#define MAX_SIDE 4096

static pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;
/* The descriptors handed out for the device (each a /dev/null): the device list and the
 * stream may hold it at the same time. */
#define MAX_OPENS 8
static int device_fds[MAX_OPENS] = {-1, -1, -1, -1, -1, -1, -1, -1};
static uint32_t width = FAKE_WIDTH, height = FAKE_HEIGHT;
static uint32_t counter;
static struct timespec last_frame;

static void *next_symbol(const char *name)
{
    return dlsym(RTLD_NEXT, name);
}

static int is_device(const char *path)
{
    return path && strcmp(path, FAKE_DEVICE) == 0;
}

static int control_exists(const char *name)
{
    const char *dir = getenv("FAKE_CAMERA_DIR");
    char path[4096];
    if (!dir || snprintf(path, sizeof(path), "%s/%s", dir, name) >= (int)sizeof(path))
        return 0;
    int (*real_access)(const char *, int) = next_symbol("access");
    return real_access(path, F_OK) == 0;
}

static FILE *open_control(const char *name, const char *mode)
{
    const char *dir = getenv("FAKE_CAMERA_DIR");
    char path[4096];
    if (!dir || snprintf(path, sizeof(path), "%s/%s", dir, name) >= (int)sizeof(path))
        return NULL;
    return fopen(path, mode);
}

static void write_log(const char *line)
{
    FILE *log = open_control("log", "a");
    if (log) {
        fprintf(log, "%s\n", line);
        fclose(log);
    }
}

/* The size the device offers: the "size" file when it holds a sane one. */
static void read_size(uint32_t *w, uint32_t *h)
{
    *w = FAKE_WIDTH;
    *h = FAKE_HEIGHT;
    FILE *file = open_control("size", "r");
    if (!file)
        return;
    unsigned a = 0, b = 0;
    if (fscanf(file, "%ux%u", &a, &b) == 2 && a > 0 && b > 0 && a <= MAX_SIDE && b <= MAX_SIDE) {
        *w = a;
        *h = b;
    }
    fclose(file);
}

static int vanished(void)
{
    return control_exists("vanished");
}

static void fill_stat(struct stat *st)
{
    memset(st, 0, sizeof(*st));
    st->st_mode = S_IFCHR | 0666;
    st->st_rdev = makedev(81, 0);
    st->st_nlink = 1;
}

/* --- files -------------------------------------------------------------- */

static int stat_device(struct stat *st)
{
    if (vanished()) {
        errno = ENOENT;
        return -1;
    }
    fill_stat(st);
    return 0;
}

int stat(const char *path, struct stat *st)
{
    if (is_device(path))
        return stat_device(st);
    int (*real)(const char *, struct stat *) = next_symbol(REAL_STAT);
    return real(path, st);
}

#if defined(__x86_64__)

int stat64(const char *path, struct stat64 *st)
{
    if (is_device(path))
        return stat_device((struct stat *)st);
    int (*real)(const char *, struct stat64 *) = next_symbol("stat64");
    return real(path, st);
}

int __xstat(int version, const char *path, struct stat *st)
{
    if (is_device(path))
        return stat_device(st);
    int (*real)(int, const char *, struct stat *) = next_symbol("__xstat");
    return real(version, path, st);
}
#endif

/* Holds the caller for the time the "slow_open" file gives. */
static void open_slowly(void)
{
    FILE *file = open_control("slow_open", "r");
    unsigned ms = 0;
    if (!file)
        return;
    if (fscanf(file, "%u", &ms) != 1)
        ms = 0;
    fclose(file);
    if (ms == 0)
        return;
    write_log("slow");
    struct timespec pause = {ms / 1000, (long)(ms % 1000) * 1000000L};
    while (nanosleep(&pause, &pause) == -1 && errno == EINTR) {
    }
}

static int open_device(int flags)
{
    if (vanished()) {
        errno = ENOENT;
        return -1;
    }
    open_slowly();
    int (*real_open)(const char *, int, ...) = next_symbol(REAL_OPEN);
    int fd = real_open("/dev/null", O_RDWR | (flags & O_CLOEXEC));
    if (fd < 0)
        return fd;
    pthread_mutex_lock(&lock);
    int held = 0, slot = -1;
    for (int i = 0; i < MAX_OPENS; ++i) {
        if (device_fds[i] >= 0)
            ++held;
        else if (slot < 0)
            slot = i;
    }
    if (slot < 0) {
        pthread_mutex_unlock(&lock);
        int (*real_close)(int) = next_symbol("close");
        real_close(fd);
        errno = EBUSY;
        return -1;
    }
    device_fds[slot] = fd;
    /* A new size takes effect only when nobody streams the old one. */
    if (held == 0)
        read_size(&width, &height);
    clock_gettime(CLOCK_MONOTONIC, &last_frame);
    pthread_mutex_unlock(&lock);
    write_log("open");
    return fd;
}

static mode_t mode_argument(int flags, va_list args)
{
    return (flags & (O_CREAT | O_TMPFILE)) ? va_arg(args, mode_t) : 0;
}

/* The device, or the libc function of that name for every other path. */
static int open_as(const char *real_name, const char *path, int flags, mode_t mode)
{
    if (is_device(path))
        return open_device(flags);
    int (*real)(const char *, int, ...) = next_symbol(real_name);
    return real(path, flags, mode);
}

int open(const char *path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    mode_t mode = mode_argument(flags, args);
    va_end(args);
    return open_as(REAL_OPEN, path, flags, mode);
}

#if defined(__x86_64__)
int open64(const char *path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    mode_t mode = mode_argument(flags, args);
    va_end(args);
    return open_as("open64", path, flags, mode);
}
#endif

int openat(int dirfd, const char *path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    mode_t mode = mode_argument(flags, args);
    va_end(args);
    if (is_device(path))
        return open_device(flags);
    int (*real)(int, const char *, int, ...) = next_symbol(REAL_OPENAT);
    return real(dirfd, path, flags, mode);
}

static int device_slot(int fd)
{
    for (int i = 0; i < MAX_OPENS; ++i)
        if (fd >= 0 && device_fds[i] == fd)
            return i;
    return -1;
}

static int is_device_fd(int fd)
{
    pthread_mutex_lock(&lock);
    int yes = device_slot(fd) >= 0;
    pthread_mutex_unlock(&lock);
    return yes;
}

int close(int fd)
{
    pthread_mutex_lock(&lock);
    int slot = device_slot(fd);
    if (slot >= 0)
        device_fds[slot] = -1;
    pthread_mutex_unlock(&lock);
    if (slot >= 0)
        write_log("close");
    int (*real)(int) = next_symbol("close");
    return real(fd);
}

/* Keeps Wine from taking libv4l2, whose system calls would go around this library. */
void *dlopen(const char *name, int flags)
{
    if (name && strstr(name, "libv4l2.so")) {
        return NULL;
    }
    void *(*real)(const char *, int) = next_symbol("dlopen");
    return real(name, flags);
}

/* --- frames ------------------------------------------------------------- */

static void put_frame(uint8_t *out, uint32_t w, uint32_t h, uint32_t number)
{
    for (uint32_t y = 0; y < h; ++y) {
        for (uint32_t x = 0; x < w; ++x) {
            uint8_t *p = out + ((size_t)y * w + x) * 3;
            if (y == 0 && x < 4) {
                p[0] = p[1] = p[2] = (uint8_t)(number >> (8 * x));
                continue;
            }
            p[0] = (uint8_t)x;
            p[1] = (uint8_t)y;
            p[2] = (uint8_t)(((x >> 8) << 4) | (y >> 8));
        }
    }
}

static void sleep_until(const struct timespec *when)
{
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, when, NULL) == EINTR) {
    }
}

static ssize_t read_frame(void *buffer, size_t count)
{
    if (vanished()) {
        errno = ENODEV;
        return -1;
    }
    /* Wine asks again at once on EAGAIN: pace the answers. */
    if (control_exists("stalled")) {
        struct timespec pause = {0, FRAME_NS};
        nanosleep(&pause, NULL);
        errno = EAGAIN;
        return -1;
    }
    pthread_mutex_lock(&lock);
    struct timespec due = last_frame;
    due.tv_nsec += FRAME_NS;
    if (due.tv_nsec >= 1000000000L) {
        due.tv_nsec -= 1000000000L;
        due.tv_sec += 1;
    }
    pthread_mutex_unlock(&lock);
    sleep_until(&due);

    pthread_mutex_lock(&lock);
    clock_gettime(CLOCK_MONOTONIC, &last_frame);
    uint32_t w = width, h = height, number = ++counter;
    pthread_mutex_unlock(&lock);
    size_t frame = (size_t)w * h * 3;
    if (count < frame) {
        errno = EINVAL;
        return -1;
    }
    put_frame(buffer, w, h, number);
    return (ssize_t)frame;
}

ssize_t read(int fd, void *buffer, size_t count)
{
    if (is_device_fd(fd))
        return read_frame(buffer, count);
    ssize_t (*real)(int, void *, size_t) = next_symbol("read");
    return real(fd, buffer, count);
}

/* --- controls ----------------------------------------------------------- */

static void describe_format(struct v4l2_format *format)
{
    pthread_mutex_lock(&lock);
    uint32_t w = width, h = height;
    pthread_mutex_unlock(&lock);
    memset(&format->fmt.pix, 0, sizeof(format->fmt.pix));
    format->type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    format->fmt.pix.width = w;
    format->fmt.pix.height = h;
    format->fmt.pix.pixelformat = V4L2_PIX_FMT_BGR24;
    format->fmt.pix.field = V4L2_FIELD_NONE;
    format->fmt.pix.bytesperline = w * 3;
    format->fmt.pix.sizeimage = w * h * 3;
    format->fmt.pix.colorspace = V4L2_COLORSPACE_SRGB;
}

static int device_ioctl(uint32_t request, void *arg)
{
    if (vanished()) {
        errno = ENODEV;
        return -1;
    }
    if (request == (uint32_t)VIDIOC_QUERYCAP) {
        struct v4l2_capability *caps = arg;
        memset(caps, 0, sizeof(*caps));
        snprintf((char *)caps->driver, sizeof(caps->driver), "fakecam");
        snprintf((char *)caps->card, sizeof(caps->card), "Pelmix Test Camera");
        snprintf((char *)caps->bus_info, sizeof(caps->bus_info), "fake:0");
        caps->version = 0x00050a00;
        caps->capabilities = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_READWRITE | V4L2_CAP_DEVICE_CAPS;
        caps->device_caps = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_READWRITE;
        return 0;
    }
    if (request == (uint32_t)VIDIOC_G_FMT || request == (uint32_t)VIDIOC_TRY_FMT ||
        request == (uint32_t)VIDIOC_S_FMT) {
        struct v4l2_format *format = arg;
        if (format->type != V4L2_BUF_TYPE_VIDEO_CAPTURE) {
            errno = EINVAL;
            return -1;
        }
        describe_format(format);
        return 0;
    }
    if (request == (uint32_t)VIDIOC_ENUM_FRAMESIZES) {
        struct v4l2_frmsizeenum *size = arg;
        if (size->index != 0 || size->pixel_format != V4L2_PIX_FMT_BGR24) {
            errno = EINVAL;
            return -1;
        }
        pthread_mutex_lock(&lock);
        size->type = V4L2_FRMSIZE_TYPE_DISCRETE;
        size->discrete.width = width;
        size->discrete.height = height;
        pthread_mutex_unlock(&lock);
        return 0;
    }
    if (request == (uint32_t)VIDIOC_ENUM_FRAMEINTERVALS) {
        struct v4l2_frmivalenum *interval = arg;
        if (interval->index != 0) {
            errno = EINVAL;
            return -1;
        }
        interval->type = V4L2_FRMIVAL_TYPE_DISCRETE;
        interval->discrete.numerator = 1;
        interval->discrete.denominator = 10;
        return 0;
    }
    errno = EINVAL;
    return -1;
}

static int forward_ioctl(const char *symbol, int fd, unsigned long request, void *arg)
{
    /* The request arrives sign-extended on x86-64: only its low 32 bits count. */
    if (is_device_fd(fd))
        return device_ioctl((uint32_t)request, arg);
    int (*real)(int, unsigned long, ...) = next_symbol(symbol);
    return real(fd, request, arg);
}

int ioctl(int fd, unsigned long request, ...)
{
    va_list args;
    va_start(args, request);
    void *arg = va_arg(args, void *);
    va_end(args);
    return forward_ioctl(REAL_IOCTL, fd, request, arg);
}

#if !defined(__x86_64__)
/* The plain ioctl of i386 too, for callers built with 32-bit time. */
int ioctl_time32(int fd, unsigned long request, ...) __asm__("ioctl");
int ioctl_time32(int fd, unsigned long request, ...)
{
    va_list args;
    va_start(args, request);
    void *arg = va_arg(args, void *);
    va_end(args);
    return forward_ioctl("ioctl", fd, request, arg);
}
#endif
