/* A paced fake sound card for the tests: an alsa-lib external I/O plugin that offers only the
 * sample formats named in its configuration, moves its hardware pointer by CLOCK_MONOTONIC (at
 * real time times `speed`), wakes pollers with a timerfd once per period so that writes block
 * while the buffer is full, reports an under-run as an xrun, and appends every byte written to
 * `file`. Optional: `events` (a file that gets one line per xrun), `fail_after` (bytes; once that
 * many were written, the card disappears: writes fail with -ENODEV), `freeze_after` (bytes; then
 * its clock stops and it takes no more data, like a wedged device). The events file also gets
 * "stop N" whenever the running card is stopped, N being the frames still unplayed then.
 *
 *   pcm.card { type fakecard formats "DSD_U32_BE,S32_LE" rate_min 8000 rate_max 800000
 *              speed "4" file "/tmp/out.raw" hint { show on description "Fake DAC" } }
 *   pcm_type.fakecard { lib "/path/libasound_module_pcm_fakecard.so" }
 */
#include <alsa/asoundlib.h>
#include <alsa/pcm_external.h>
#include <errno.h>
#include <poll.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

typedef struct {
  snd_pcm_ioplug_t io;
  int timerfd;
  double speed;
  FILE* out;
  FILE* events;
  long long fail_after;   /* < 0: never */
  long long freeze_after; /* bytes; then the clock stops: the card is wedged. < 0: never */
  long long bytes_total;  /* over the PCM's life */
  uint64_t start_ns;
  int running;
  snd_pcm_uframes_t written; /* frames transferred since prepare */
  snd_pcm_uframes_t played;  /* frames the imagined hardware consumed since prepare */
} fake_t;

static uint64_t now_ns(void) {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return (uint64_t)ts.tv_sec * 1000000000ull + (uint64_t)ts.tv_nsec;
}

static void arm_timer(fake_t* f) {
  double period_s = (double)f->io.period_size / (double)f->io.rate / f->speed;
  struct itimerspec its;
  long long ns = (long long)(period_s * 1e9);
  if (ns < 100000) ns = 100000;
  its.it_interval.tv_sec = ns / 1000000000ll;
  its.it_interval.tv_nsec = ns % 1000000000ll;
  its.it_value = its.it_interval;
  timerfd_settime(f->timerfd, 0, &its, NULL);
}

static void update_played(fake_t* f) {
  if (!f->running) return;
  if (f->freeze_after >= 0 && f->bytes_total >= f->freeze_after) return;
  double s = (double)(now_ns() - f->start_ns) / 1e9;
  f->played = (snd_pcm_uframes_t)(s * f->io.rate * f->speed);
}

static int fake_start(snd_pcm_ioplug_t* io) {
  fake_t* f = io->private_data;
  f->start_ns = now_ns();
  f->running = 1;
  return 0;
}

static int fake_stop(snd_pcm_ioplug_t* io) {
  fake_t* f = io->private_data;
  update_played(f);
  if (f->running && f->events) {
    fprintf(f->events, "stop %lu\n",
            (unsigned long)(f->written > f->played ? f->written - f->played : 0));
    fflush(f->events);
  }
  f->running = 0;
  return 0;
}

/* Once gone, the card behaves like an unplugged one: disconnected, every call -ENODEV. */
static int gone(fake_t* f) {
  if (f->fail_after < 0 || f->bytes_total < f->fail_after) return 0;
  snd_pcm_ioplug_set_state(&f->io, SND_PCM_STATE_DISCONNECTED);
  return 1;
}

static snd_pcm_sframes_t fake_pointer(snd_pcm_ioplug_t* io) {
  fake_t* f = io->private_data;
  if (gone(f)) return -ENODEV;
  update_played(f);
  if (f->played > f->written) {
    if (io->state == SND_PCM_STATE_DRAINING) {
      /* Played out: leave DRAINING ourselves, ioplug would not. */
      f->played = f->written;
      f->running = 0;
      snd_pcm_ioplug_set_state(io, SND_PCM_STATE_SETUP);
      return (snd_pcm_sframes_t)(f->played % io->buffer_size);
    }
    if (f->events) {
      fputs("xrun\n", f->events);
      fflush(f->events);
    }
    return -EPIPE;
  }
  return (snd_pcm_sframes_t)(f->played % io->buffer_size);
}

static snd_pcm_sframes_t fake_transfer(snd_pcm_ioplug_t* io, const snd_pcm_channel_area_t* areas,
                                       snd_pcm_uframes_t offset, snd_pcm_uframes_t size) {
  fake_t* f = io->private_data;
  if (gone(f)) return -ENODEV;
  size_t frame_bytes = (size_t)snd_pcm_format_physical_width(io->format) / 8 * io->channels;
  const char* p = (const char*)areas[0].addr + (areas[0].first + areas[0].step * offset) / 8;
  if (f->out) fwrite(p, 1, size * frame_bytes, f->out);
  f->written += size;
  f->bytes_total += (long long)(size * frame_bytes);
  return (snd_pcm_sframes_t)size;
}

static int fake_prepare(snd_pcm_ioplug_t* io) {
  fake_t* f = io->private_data;
  if (gone(f)) return -ENODEV;
  f->written = 0;
  f->played = 0;
  f->running = 0;
  arm_timer(f);
  return 0;
}

static int fake_poll_revents(snd_pcm_ioplug_t* io, struct pollfd* pfd, unsigned int nfds,
                             unsigned short* revents) {
  (void)pfd;
  (void)nfds;
  fake_t* f = io->private_data;
  uint64_t ticks;
  while (read(f->timerfd, &ticks, sizeof ticks) > 0) {
  }
  /* Computed here rather than through snd_pcm_avail_update, which would re-enter the PCM. */
  update_played(f);
  snd_pcm_uframes_t queued = f->written > f->played ? f->written - f->played : 0;
  snd_pcm_uframes_t avail = queued < io->buffer_size ? io->buffer_size - queued : 0;
  *revents = avail >= io->period_size ? POLLOUT : 0;
  if (f->running && f->played > f->written) *revents |= POLLERR;
  return 0;
}

static int fake_close(snd_pcm_ioplug_t* io) {
  fake_t* f = io->private_data;
  if (f->out) fclose(f->out);
  if (f->events) fclose(f->events);
  close(f->timerfd);
  free(f);
  return 0;
}

static const snd_pcm_ioplug_callback_t fake_callbacks = {
    .start = fake_start,
    .stop = fake_stop,
    .pointer = fake_pointer,
    .transfer = fake_transfer,
    .prepare = fake_prepare,
    .poll_revents = fake_poll_revents,
    .close = fake_close,
};

static int parse_formats(const char* list, unsigned int* out, int max) {
  int n = 0;
  char buf[256];
  snprintf(buf, sizeof buf, "%s", list);
  for (char *save = NULL, *tok = strtok_r(buf, ", ", &save); tok && n < max;
       tok = strtok_r(NULL, ", ", &save)) {
    snd_pcm_format_t fmt = snd_pcm_format_value(tok);
    if (fmt == SND_PCM_FORMAT_UNKNOWN) return -EINVAL;
    out[n++] = (unsigned int)fmt;
  }
  return n;
}

SND_PCM_PLUGIN_DEFINE_FUNC(fakecard) {
  snd_config_iterator_t i, next;
  const char *formats = "DSD_U32_BE", *file = NULL, *events = NULL, *speed = "1";
  long rate_min = 8000, rate_max = 3000000, fail_after = -1, freeze_after = -1;
  int err;
  (void)root;
  snd_config_for_each(i, next, conf) {
    snd_config_t* n = snd_config_iterator_entry(i);
    const char* id;
    if (snd_config_get_id(n, &id) < 0) continue;
    if (!strcmp(id, "comment") || !strcmp(id, "type") || !strcmp(id, "hint")) continue;
    if (!strcmp(id, "formats"))
      err = snd_config_get_string(n, &formats);
    else if (!strcmp(id, "file"))
      err = snd_config_get_string(n, &file);
    else if (!strcmp(id, "events"))
      err = snd_config_get_string(n, &events);
    else if (!strcmp(id, "speed"))
      err = snd_config_get_string(n, &speed);
    else if (!strcmp(id, "rate_min"))
      err = snd_config_get_integer(n, &rate_min);
    else if (!strcmp(id, "rate_max"))
      err = snd_config_get_integer(n, &rate_max);
    else if (!strcmp(id, "fail_after"))
      err = snd_config_get_integer(n, &fail_after);
    else if (!strcmp(id, "freeze_after"))
      err = snd_config_get_integer(n, &freeze_after);
    else {
      SNDERR("fakecard: unknown field %s", id);
      return -EINVAL;
    }
    if (err < 0) {
      SNDERR("fakecard: bad value for %s", id);
      return -EINVAL;
    }
  }
  if (stream != SND_PCM_STREAM_PLAYBACK) return -EINVAL;

  fake_t* f = calloc(1, sizeof *f);
  if (!f) return -ENOMEM;
  f->speed = atof(speed) > 0 ? atof(speed) : 1.0;
  f->fail_after = fail_after;
  f->freeze_after = freeze_after;
  f->timerfd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
  if (file) f->out = fopen(file, "ab");
  if (events) f->events = fopen(events, "a");
  if (f->timerfd < 0 || (file && !f->out) || (events && !f->events)) {
    err = -errno;
    goto fail;
  }
  f->io.version = SND_PCM_IOPLUG_VERSION;
  f->io.name = "fake paced card";
  f->io.callback = &fake_callbacks;
  f->io.private_data = f;
  f->io.poll_fd = f->timerfd;
  f->io.poll_events = POLLIN;
  f->io.mmap_rw = 0;
  if ((err = snd_pcm_ioplug_create(&f->io, name, stream, mode)) < 0) goto fail;

  unsigned int fmts[16];
  int nf = parse_formats(formats, fmts, 16);
  unsigned int access = SND_PCM_ACCESS_RW_INTERLEAVED;
  if (nf <= 0) {
    snd_pcm_ioplug_delete(&f->io);
    return -EINVAL;
  }
  if ((err = snd_pcm_ioplug_set_param_list(&f->io, SND_PCM_IOPLUG_HW_ACCESS, 1, &access)) < 0 ||
      (err = snd_pcm_ioplug_set_param_list(&f->io, SND_PCM_IOPLUG_HW_FORMAT, nf, fmts)) < 0 ||
      (err = snd_pcm_ioplug_set_param_minmax(&f->io, SND_PCM_IOPLUG_HW_CHANNELS, 2, 2)) < 0 ||
      (err = snd_pcm_ioplug_set_param_minmax(&f->io, SND_PCM_IOPLUG_HW_RATE, (unsigned)rate_min,
                                             (unsigned)rate_max)) < 0 ||
      (err = snd_pcm_ioplug_set_param_minmax(&f->io, SND_PCM_IOPLUG_HW_PERIOD_BYTES, 64, 1 << 20)) <
          0 ||
      (err = snd_pcm_ioplug_set_param_minmax(&f->io, SND_PCM_IOPLUG_HW_PERIODS, 2, 64)) < 0) {
    snd_pcm_ioplug_delete(&f->io);
    return err;
  }
  *pcmp = f->io.pcm;
  return 0;

fail:
  if (f->out) fclose(f->out);
  if (f->events) fclose(f->events);
  if (f->timerfd >= 0) close(f->timerfd);
  free(f);
  return err;
}

SND_PCM_PLUGIN_SYMBOL(fakecard);
