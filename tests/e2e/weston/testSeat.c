/* testSeat.c
 * A Weston module for the whole-program tests: Weston's headless backend has no seat, and SDL's
 * wayland driver will not start without one, so this adds one with a keyboard and a pointer. It
 * also lets a test press keys and read the desktop's windows, since Weston offers no protocol for
 * either. Commands come one per line through the FIFO named by $KESTRANE_WESTON_CONTROL, each
 * starting with a number that tags its replies, appended to the file $KESTRANE_WESTON_REPLIES:
 *   N key CODE down|up   press or release the evdev key CODE (F1 59, Escape 1, M 50, N 49)
 *   N tap CODE           press and release it at once
 *   N windows            one line per mapped desktop window, topmost first:
 *                        N window X Y WIDTH HEIGHT FULLSCREEN ACTIVATED TITLE
 *                        (position and size in the desktop's logical units)
 *   N focus              the title of the window the keyboard is on: N focus TITLE (none: no line)
 *   N outputs            one line per output: N output X Y WIDTH HEIGHT SCALE
 * Every command ends with the line "N done" (or "N error WHAT").
 */
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdbool.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include <libweston-desktop/libweston-desktop.h>
#include <libweston/libweston.h>
#include <wayland-server-core.h>

/* libweston exports these to its backends without declaring them in an installed header. */
struct xkb_keymap;
void weston_seat_init(struct weston_seat* seat, struct weston_compositor* compositor, const char* name);
int weston_seat_init_pointer(struct weston_seat* seat);
int weston_seat_init_keyboard(struct weston_seat* seat, struct xkb_keymap* keymap);
void weston_seat_release(struct weston_seat* seat);
void notify_key(struct weston_seat* seat, const struct timespec* time, uint32_t key,
                enum wl_keyboard_key_state state, enum weston_key_state_update update);

struct testSeat {
    struct weston_compositor* compositor;
    struct weston_seat seat;
    struct wl_listener destroyed;
    struct wl_event_source* source;
    int control;    /* the command FIFO, opened for reading and writing so it never reports an end */
    int replies;    /* the reply file, appended to */
    char line[512]; /* a command not yet ended by a newline */
    size_t used;
};

static void reply(struct testSeat* test, const char* format, ...) __attribute__((format(printf, 2, 3)));
static void reply(struct testSeat* test, const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    int length = vsnprintf(text, sizeof text - 1, format, args);
    va_end(args);
    if (length < 0) return;
    if ((size_t)length > sizeof text - 2) length = sizeof text - 2;
    text[length++] = '\n';
    ssize_t written = write(test->replies, text, (size_t)length);
    (void)written; /* a test that stopped reading learns nothing more either way */
}

static void pressKey(struct testSeat* test, uint32_t code, bool down) {
    struct timespec now;
    weston_compositor_get_time(&now);
    notify_key(&test->seat, &now, code, down ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED,
               STATE_UPDATE_AUTOMATIC);
}

/* Titles are printed last and whole, so that a test can take the rest of the line as the title. */
static void listWindows(struct testSeat* test, long tag) {
    struct weston_layer* layer;
    wl_list_for_each(layer, &test->compositor->layer_list, link) {
        struct weston_view* view;
        wl_list_for_each(view, &layer->view_list.link, layer_link.link) {
            if (!weston_surface_is_mapped(view->surface)) continue;
            struct weston_desktop_surface* window = weston_surface_get_desktop_surface(view->surface);
            if (!window) continue;
            struct weston_geometry box = weston_desktop_surface_get_geometry(window);
            const char* title = weston_desktop_surface_get_title(window);
            reply(test, "%ld window %d %d %d %d %d %d %s", tag, (int)view->geometry.x + box.x,
                  (int)view->geometry.y + box.y, box.width, box.height,
                  weston_desktop_surface_get_fullscreen(window) ? 1 : 0,
                  weston_desktop_surface_get_activated(window) ? 1 : 0, title ? title : "");
        }
    }
}

static void tellFocus(struct testSeat* test, long tag) {
    struct weston_keyboard* keyboard = weston_seat_get_keyboard(&test->seat);
    if (!keyboard || !keyboard->focus) return;
    struct weston_desktop_surface* window = weston_surface_get_desktop_surface(keyboard->focus);
    const char* title = window ? weston_desktop_surface_get_title(window) : NULL;
    if (title) reply(test, "%ld focus %s", tag, title);
}

static void listOutputs(struct testSeat* test, long tag) {
    struct weston_output* output;
    wl_list_for_each(output, &test->compositor->output_list, link) {
        reply(test, "%ld output %d %d %d %d %d", tag, output->x, output->y, output->width, output->height,
              output->current_scale);
    }
}

static void runCommand(struct testSeat* test, char* line) {
    char* rest = NULL;
    long tag = strtol(line, &rest, 10);
    char verb[16] = "", state[8] = "";
    unsigned code = 0;
    int fields = sscanf(rest, "%15s %u %7s", verb, &code, state);
    if (fields >= 1 && strcmp(verb, "windows") == 0) {
        listWindows(test, tag);
    } else if (fields >= 1 && strcmp(verb, "focus") == 0) {
        tellFocus(test, tag);
    } else if (fields >= 1 && strcmp(verb, "outputs") == 0) {
        listOutputs(test, tag);
    } else if (fields == 2 && strcmp(verb, "tap") == 0 && code < 768) {
        pressKey(test, code, true);
        pressKey(test, code, false);
    } else if (fields == 3 && strcmp(verb, "key") == 0 && code < 768 &&
               (strcmp(state, "down") == 0 || strcmp(state, "up") == 0)) {
        pressKey(test, code, strcmp(state, "down") == 0);
    } else {
        reply(test, "%ld error unknown command: %s", tag, rest);
        return;
    }
    reply(test, "%ld done", tag);
}

static int onControl(int fd, uint32_t mask, void* data) {
    struct testSeat* test = data;
    (void)mask;
    for (;;) {
        ssize_t got = read(fd, test->line + test->used, sizeof test->line - 1 - test->used);
        if (got <= 0) break;
        test->used += (size_t)got;
        char* start = test->line;
        char* end;
        while ((end = memchr(start, '\n', test->used - (size_t)(start - test->line)))) {
            *end = '\0';
            runCommand(test, start);
            start = end + 1;
        }
        test->used -= (size_t)(start - test->line);
        memmove(test->line, start, test->used);
        if (test->used == sizeof test->line - 1) test->used = 0; /* an overlong line is dropped */
    }
    return 0;
}

static void onCompositorDestroyed(struct wl_listener* listener, void* data) {
    struct testSeat* test = wl_container_of(listener, test, destroyed);
    (void)data;
    if (test->source) wl_event_source_remove(test->source);
    weston_seat_release(&test->seat);
    close(test->control);
    close(test->replies);
    free(test);
}

WL_EXPORT int wet_module_init(struct weston_compositor* compositor, int* argc, char* argv[]) {
    (void)argc;
    (void)argv;
    const char* controlPath = getenv("KESTRANE_WESTON_CONTROL");
    const char* repliesPath = getenv("KESTRANE_WESTON_REPLIES");
    if (!controlPath || !repliesPath) {
        weston_log("kestrane test seat: KESTRANE_WESTON_CONTROL and KESTRANE_WESTON_REPLIES must be set\n");
        return -1;
    }
    struct testSeat* test = calloc(1, sizeof *test);
    if (!test) return -1;
    test->compositor = compositor;
    test->control = open(controlPath, O_RDWR | O_NONBLOCK | O_CLOEXEC);
    test->replies = open(repliesPath, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (test->control < 0 || test->replies < 0) {
        weston_log("kestrane test seat: cannot open %s or %s: %s\n", controlPath, repliesPath,
                   strerror(errno));
        if (test->control >= 0) close(test->control);
        if (test->replies >= 0) close(test->replies);
        free(test);
        return -1;
    }
    weston_seat_init(&test->seat, compositor, "seat0");
    if (weston_seat_init_pointer(&test->seat) < 0 || weston_seat_init_keyboard(&test->seat, NULL) < 0) {
        weston_log("kestrane test seat: no keyboard or pointer\n");
    }
    test->source = wl_event_loop_add_fd(wl_display_get_event_loop(compositor->wl_display), test->control,
                                        WL_EVENT_READABLE, onControl, test);
    weston_compositor_add_destroy_listener_once(compositor, &test->destroyed, onCompositorDestroyed);
    weston_log("kestrane test seat: commands from %s\n", controlPath);
    return 0;
}
