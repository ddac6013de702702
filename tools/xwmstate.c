/*
 * xwmstate: the one thing a window manager does that Wine waits for, on a
 * display that has none (Xvfb in the tests and the demo).
 *
 * Before Wine unmaps a managed window it waits for the manager to have taken
 * the window (WM_STATE no longer Withdrawn), and gives up only after 2 s: under
 * bare Xvfb every close of the program's own windows took 2 s. This client
 * sets WM_STATE as a manager would (Normal once a top-level window is mapped,
 * Withdrawn once it is unmapped) and does nothing else: it does not redirect,
 * move, frame or focus anything. Runs until its display goes away.
 */
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

static void set_state(Display* display, Atom wm_state, Window window, long state)
{
    long value[2] = { state, None };
    XChangeProperty(display, window, wm_state, wm_state, 32, PropModeReplace, (unsigned char*)value, 2);
}

static int ignore_errors(Display* display, XErrorEvent* error)
{
    (void)display;
    (void)error;   /* a window may be gone before its state is set */
    return 0;
}

static int display_gone(Display* display)
{
    (void)display;
    _exit(0);   /* the display's end is this client's end, not an error */
}

int main(void)
{
    Display* display = XOpenDisplay(NULL);
    if (display == NULL)
        return 1;
    XSetErrorHandler(ignore_errors);
    XSetIOErrorHandler(display_gone);
    Atom wm_state = XInternAtom(display, "WM_STATE", False);
    Window root = DefaultRootWindow(display);
    XSelectInput(display, root, SubstructureNotifyMask);
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == MapNotify && !event.xmap.override_redirect)
            set_state(display, wm_state, event.xmap.window, NormalState);
        else if (event.type == UnmapNotify && event.xunmap.event == root)
            set_state(display, wm_state, event.xunmap.window, WithdrawnState);
        XFlush(display);
    }
}
