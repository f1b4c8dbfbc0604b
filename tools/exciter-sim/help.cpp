#include "options.h"

namespace sim {

std::string helptext() {
    return R"(Usage: exciter-sim [OPTION...]

A stand-in exciter: a TCP server that answers capture requests with sample packets of a
simulated 8-VSB exciter output and status requests with status frames. One client at a
time; when it disconnects the next one is accepted. Stops on SIGINT or SIGTERM.

On start it prints "listening ADDR:PORT" on stdout (flushed).

Connection:
  --bind ADDR          IPv4 address to listen on (default 127.0.0.1)
  --port N             TCP port (default 5700); 0 picks a free port
  --max-seconds N      stop by itself after N seconds (default 0: run until signalled)
  --record FILE        write the frame record to FILE instead of stdout

Signal (each capture is the next 8192 samples of one continuous signal):
  --snr DB             in-channel signal-to-noise ratio (default 60)
  --tilt DB            amplitude tilt, peak-to-peak over +-3 MHz
  --ripple DB          amplitude ripple, peak-to-peak
  --gd-ripple NS       group-delay ripple, peak-to-peak
  --echo DB,US         an echo DB (at most 0) relative to the main path, delayed US
                       microseconds (negative: a pre-echo; |US| at most 25); repeatable
  --nonlinear K        third-order non-linearity (raises the shoulders)
  --carrier-offset HZ  frequency error of the capture centre
  --phase RAD          carrier phase
  --timing FRAC        symbol timing offset, fraction of a symbol
  --level FRAC         RMS level relative to full scale (default 0.3)
  --seed N             generator seed (default 1)

Status block (bytes: unused, SNR, lower IMD, upper IMD; each in half-dB steps):
  computed from the signal: SNR = round(2 x --snr); each IMD = round(2 x the shoulder
  level, 500 kHz centred 250 kHz outside the channel edge, below the in-band level of the
  generator's reference spectrum); clamped to 0..255.
  --status HEX8        fixed status block instead, e.g. 00476867

Packets:
  --packets N          packets per capture, 1..32 (default 32); packet n carries capture
                       bytes (n-1)*1024 .. n*1024-1
  --short-packets      1034-byte packets without the status block (default 1038)

Faults. SEL picks replies by their running number since start (every sample packet and
status frame the exciter owes counts, including dropped ones): "N" or "N,M,..." picks
those replies; "every:N" picks every Nth. In a capture of 32 packets, reply k of the first
capture is packet k.
  --drop SEL           do not send the reply
  --bad-sum SEL        checksum byte one higher than it should be
  --bad-tail SEL       tail byte 0x95 instead of 0x96
  --bad-length SEL     length field one more than the bytes sent (checksum still matches
                       the frame as sent)
  --skip SEL           send packet n+2 where n+1 is due (a gap in the numbering)
  --repeat SEL         send packet n again where n+1 is due (not for packet 1)
  --split SEL          send the frame in two writes, the second half --split-gap ms later
  --split-gap MS       gap between the halves of a split frame (default 20)
  --garbage SEL        send --garbage-bytes of noise (first byte A5) instead of the reply
  --garbage-bytes N    size of a garbage burst (default 64)
  --delay MS           hold replies back by MS milliseconds
  --delay-on SEL       which replies --delay holds back (default every:1)
  --close-after N      close the connection right after sending packet N of any capture
                       (write side first; the rest the client sends is drained, not read)
  --silent             never reply; received frames are still recorded

The exciter keeps the current capture until the acknowledgement of its last packet. A
capture request always takes a new capture and starts again at packet 1. An acknowledgement
of anything other than the packet last sent (count and number) is ignored.

Record, one line per event, flushed per line:
  RX 10 80 46 0A 00 01 80 20 03 74 96   a well-formed client frame, all bytes in hex
  BAD N <hex> reason=R                   bytes that are not a client frame and are skipped;
                                         R: id, header, length, sum, tail (or
                                         "BAD N reason=incomplete" for a partial frame left
                                         at disconnect)
  IGNORE ...                             a well-formed frame the exciter does not act on
  CAPTURE K                              the K-th capture was taken for a capture request
  DONE capture=K                         the last packet of capture K was acknowledged
  TX 1038 fn=0001 count=32 no=3 sum=XX tail=96 len=1038 status=00476867
                                         a sample packet (bytes sent, fields as sent;
                                         status= only for 1038-byte packets)
  TX 14 80 46 0E 00 02 00 00 00 ...      any other frame sent: all bytes in hex
  FAULT NAME reply=K ...                 a fault applied to reply K (drop, garbage,
                                         bad-length, bad-sum, bad-tail, skip, repeat,
                                         delay, split, silent), or "FAULT close after=N"
  CONNECT ADDR:PORT, CLOSING, DRAIN N <hex>, DISCONNECT REASON, STOP ...
                                         connection events
  TX lines are written when a reply is queued; a delayed or split reply reaches the socket
  later.

  --help               this text
)";
}

}  // namespace sim
