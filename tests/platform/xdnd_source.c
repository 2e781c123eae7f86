/* A minimal XDND drag source for tests: drops a list of URIs onto one window, the way a file
 * manager does. Usage: xdnd_source WINDOW-ID ROOT-X ROOT-Y URI...
 * Exit 0 when the target accepted and finished the drop, 1 when it refused, 2 on a time-out or
 * a usage error. */
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static Display* dpy;
static Atom a_aware, a_enter, a_position, a_status, a_drop, a_finished, a_selection, a_copy,
    a_uri_list;

static void Send(Window target, Window source, Atom type, long l1, long l2, long l3, long l4) {
  XEvent ev;
  memset(&ev, 0, sizeof(ev));
  ev.xclient.type = ClientMessage;
  ev.xclient.display = dpy;
  ev.xclient.window = target;
  ev.xclient.message_type = type;
  ev.xclient.format = 32;
  ev.xclient.data.l[0] = (long)source;
  ev.xclient.data.l[1] = l1;
  ev.xclient.data.l[2] = l2;
  ev.xclient.data.l[3] = l3;
  ev.xclient.data.l[4] = l4;
  XSendEvent(dpy, target, False, NoEventMask, &ev);
  XFlush(dpy);
}

/* Waits for the next event, up to 10 s or $AX_XDND_TIMEOUT_MS. */
static int Next(XEvent* ev) {
  int limit = getenv("AX_XDND_TIMEOUT_MS") ? atoi(getenv("AX_XDND_TIMEOUT_MS")) : 10000;
  for (int waited = 0; waited < limit; waited += 50) {
    if (XPending(dpy)) {
      XNextEvent(dpy, ev);
      return 1;
    }
    struct pollfd p = {ConnectionNumber(dpy), POLLIN, 0};
    poll(&p, 1, 50);
  }
  return 0;
}

int main(int argc, char** argv) {
  if (argc < 5) return 2;
  Window target = (Window)strtoul(argv[1], NULL, 0);
  int x = atoi(argv[2]), y = atoi(argv[3]);
  dpy = XOpenDisplay(NULL);
  if (!dpy) return 2;
  a_aware = XInternAtom(dpy, "XdndAware", False);
  a_enter = XInternAtom(dpy, "XdndEnter", False);
  a_position = XInternAtom(dpy, "XdndPosition", False);
  a_status = XInternAtom(dpy, "XdndStatus", False);
  a_drop = XInternAtom(dpy, "XdndDrop", False);
  a_finished = XInternAtom(dpy, "XdndFinished", False);
  a_selection = XInternAtom(dpy, "XdndSelection", False);
  a_copy = XInternAtom(dpy, "XdndActionCopy", False);
  a_uri_list = XInternAtom(dpy, "text/uri-list", False);

  /* The list, each URI ending in CR LF. */
  size_t len = 0;
  for (int i = 4; i < argc; ++i) len += strlen(argv[i]) + 2;
  char* data = malloc(len + 1);
  data[0] = 0;
  for (int i = 4; i < argc; ++i) {
    strcat(data, argv[i]);
    strcat(data, "\r\n");
  }

  /* The target must say it takes drops, and which protocol version. */
  Atom type;
  int format;
  unsigned long n, after;
  unsigned char* prop = NULL;
  long version = 5;
  if (XGetWindowProperty(dpy, target, a_aware, 0, 1, False, XA_ATOM, &type, &format, &n, &after,
                         &prop) != Success ||
      n != 1) {
    fprintf(stderr, "xdnd_source: window 0x%lx is not XdndAware\n", target);
    return 2;
  }
  if (*(Atom*)prop < 5) version = (long)*(Atom*)prop;
  XFree(prop);

  Window source = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 0, 0, 1, 1, 0, 0, 0);
  XSetSelectionOwner(dpy, a_selection, source, CurrentTime);
  Send(target, source, a_enter, version << 24, (long)a_uri_list, None, None);
  Send(target, source, a_position, 0, ((long)x << 16) | (y & 0xFFFF), CurrentTime, (long)a_copy);

  int accepted = -1, result = 2;
  XEvent ev;
  while (Next(&ev)) {
    if (ev.type == ClientMessage && ev.xclient.message_type == a_status && accepted < 0) {
      accepted = (int)(ev.xclient.data.l[1] & 1);
      if (!accepted) {
        result = 1;
        break;
      }
      Send(target, source, a_drop, 0, CurrentTime, 0, 0);
    } else if (ev.type == SelectionRequest) {
      XSelectionRequestEvent* req = &ev.xselectionrequest;
      XEvent reply;
      memset(&reply, 0, sizeof(reply));
      reply.xselection.type = SelectionNotify;
      reply.xselection.requestor = req->requestor;
      reply.xselection.selection = req->selection;
      reply.xselection.target = req->target;
      reply.xselection.time = req->time;
      reply.xselection.property = None;
      if (req->target == a_uri_list) {
        Atom property = req->property != None ? req->property : req->target;
        XChangeProperty(dpy, req->requestor, property, a_uri_list, 8, PropModeReplace,
                        (unsigned char*)data, (int)strlen(data));
        reply.xselection.property = property;
      }
      XSendEvent(dpy, req->requestor, False, NoEventMask, &reply);
      XFlush(dpy);
    } else if (ev.type == ClientMessage && ev.xclient.message_type == a_finished) {
      result = 0;
      break;
    }
  }
  free(data);
  XCloseDisplay(dpy);
  if (result == 2) fprintf(stderr, "xdnd_source: no answer from the target\n");
  return result;
}
