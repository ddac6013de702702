/*
 * xwmstate: the part of a window manager that Wine reads, on a display that has
 * none (Xvfb in the tests and the demo).
 *
 * Before Wine unmaps a managed window it waits for the manager to have taken
 * the window (WM_STATE no longer Withdrawn), and gives up only after 2 s: under
 * bare Xvfb every close of the program's own windows took 2 s. And on every
 * ConfigureNotify of a managed window Wine re-reads _NET_WM_STATE: a window it
 * maximised while shown (asked for with a client message to the root) is taken
 * back at once when nobody puts the state into the property.
 *
 * So this client redirects the top-level windows' map and configure requests,
 * as a manager does: a window's state changes are applied before the
 * configuration that follows them, since one client asks for both in order and
 * this client answers them in order. It sets WM_STATE (Normal as it maps a
 * window, Withdrawn once it is unmapped) and keeps _NET_WM_STATE as asked. It
 * does not frame, move, resize or focus anything on its own. Runs until its
 * display goes away.
 */
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#define NET_WM_STATE_REMOVE 0
#define NET_WM_STATE_ADD 1
#define NET_WM_STATE_TOGGLE 2
/* More states than any client sets at once. */
#define MAX_STATES 32

typedef struct {
    Atom wm_state;
    Atom net_wm_state;
} atoms_t;

static void set_state(Display* display, const atoms_t* atoms, Window window, long state)
{
    long value[2] = { state, None };
    XChangeProperty(display, window, atoms->wm_state, atoms->wm_state, 32, PropModeReplace,
                    (unsigned char*)value, 2);
}

static int read_net_states(Display* display, const atoms_t* atoms, Window window, Atom* states)
{
    Atom type;
    int format;
    unsigned long count = 0, remaining;
    unsigned char* data = NULL;
    if (XGetWindowProperty(display, window, atoms->net_wm_state, 0, MAX_STATES, False, XA_ATOM,
                           &type, &format, &count, &remaining, &data) != Success)
        return 0;
    int n = 0;
    if (type == XA_ATOM && format == 32)
        for (unsigned long i = 0; i < count && n < MAX_STATES; i++)
            states[n++] = ((Atom*)data)[i];
    if (data != NULL)
        XFree(data);
    return n;
}

/* Adds, removes or toggles one state in the list; answers the new count. */
static int change_net_state(Atom* states, int count, long action, Atom state)
{
    int at = 0;
    while (at < count && states[at] != state)
        at++;
    int present = at < count;
    int wanted = action == NET_WM_STATE_ADD || (action == NET_WM_STATE_TOGGLE && !present);
    if (wanted && !present && count < MAX_STATES)
        states[count++] = state;
    else if (!wanted && present)
        states[at] = states[--count];
    return count;
}

static void on_net_wm_state(Display* display, const atoms_t* atoms, const XClientMessageEvent* message)
{
    Atom states[MAX_STATES];
    int count = read_net_states(display, atoms, message->window, states);
    for (int i = 1; i <= 2; i++)
        if (message->data.l[i] != None)
            count = change_net_state(states, count, message->data.l[0], (Atom)message->data.l[i]);
    XChangeProperty(display, message->window, atoms->net_wm_state, XA_ATOM, 32, PropModeReplace,
                    (unsigned char*)states, count);
}

static void on_configure_request(Display* display, const XConfigureRequestEvent* request)
{
    XWindowChanges changes;
    changes.x = request->x;
    changes.y = request->y;
    changes.width = request->width;
    changes.height = request->height;
    changes.border_width = request->border_width;
    changes.sibling = request->above;
    changes.stack_mode = request->detail;
    XConfigureWindow(display, request->window, (unsigned int)request->value_mask, &changes);
}

static int ignore_errors(Display* display, XErrorEvent* error)
{
    (void)display;
    (void)error;   /* a window may be gone before its request is answered */
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
    atoms_t atoms;
    atoms.wm_state = XInternAtom(display, "WM_STATE", False);
    atoms.net_wm_state = XInternAtom(display, "_NET_WM_STATE", False);
    Window root = DefaultRootWindow(display);
    XSelectInput(display, root, SubstructureNotifyMask | SubstructureRedirectMask);
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == MapRequest) {
            set_state(display, &atoms, event.xmaprequest.window, NormalState);
            XMapWindow(display, event.xmaprequest.window);
        } else if (event.type == ConfigureRequest) {
            on_configure_request(display, &event.xconfigurerequest);
        } else if (event.type == ClientMessage && event.xclient.message_type == atoms.net_wm_state
                   && event.xclient.format == 32) {
            on_net_wm_state(display, &atoms, &event.xclient);
        } else if (event.type == UnmapNotify && event.xunmap.event == root) {
            set_state(display, &atoms, event.xunmap.window, WithdrawnState);
        }
        XFlush(display);
    }
}
