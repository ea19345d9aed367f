#!/usr/bin/python3
"""A GPRS-like link between two loopback ports, for the benchmarks (this kernel has no netem).

    shaper.py relay --target PORT [--listen PORT] [link options] [events]
        relays every connection made to 127.0.0.1:--listen to 127.0.0.1:--target through the
        link; prints "shaper: listening on 127.0.0.1:P" once it accepts, then one line per
        event (connections, stalls, cuts) and a summary line when it is stopped (SIGTERM/SIGINT).
    shaper.py ideal --block N [--count N] [link options]
        the stop-and-wait ideal of the link: a sender of a 30-byte header and N bytes and a
        receiver answering 9 bytes, through the same link without stalls or cuts; prints the
        measured ping round trip, the round trip of one block and the resulting bytes per second.

Link options: --rtt-ms (round trip, default 300) and --jitter-ms (± on the round trip, default
100): each direction adds half of it, drawn anew for every piece but never reordering bytes;
--rate BITS (per direction, 0 = unpaced); --seed N for the random draws.
Events: --stall-mean S (a stall starts on average every S seconds) with --stall-len MIN:MAX;
--cut-mean S (each connection is cut after a random lifetime averaging S seconds);
--cut-at T,T.. and --stall-at T:LEN,.. at fixed seconds after the start (for tests).
A cut resets both sides; with --quiet-cuts only the handheld's side is reset and the service's
side is left without traffic, as when a radio link drops, until the service closes it.
Everything is bound to and connects to 127.0.0.1 only.
"""
import argparse
import asyncio
import random
import signal
import sys
import time

HOST = '127.0.0.1'
PIECE = 256          # bytes paced and delayed as one unit: 51 ms at 40 kbit/s
HEADER, ACK = 30, 9  # the protocol's block header and its acknowledgement


class Link:
    """What all connections of one shaper share: the random source, the stall clock, the log."""

    def __init__(self, args):
        self.rng = random.Random(args.seed)
        self.rate = args.rate
        self.rtt = args.rtt_ms / 1000.0
        self.jitter = args.jitter_ms / 1000.0
        self.stall_until = 0.0
        self.start = time.monotonic()
        self.counts = {'connections': 0, 'cuts': 0, 'stalls': 0, 'up': 0, 'down': 0}

    def now(self):
        return time.monotonic() - self.start

    def log(self, text):
        print('shaper: %8.3f %s' % (self.now(), text), flush=True)

    def one_way(self):
        half = self.rtt / 2
        return max(0.0, half + self.rng.uniform(-self.jitter / 2, self.jitter / 2))

    def stall(self, seconds):
        self.stall_until = max(self.stall_until, time.monotonic() + seconds)
        self.counts['stalls'] += 1
        self.log('stall %.1f s' % seconds)


class Direction:
    """One direction of one connection: read, pace at the rate, delay, write, in order."""

    def __init__(self, link, name, reader, writer):
        self.link, self.name, self.reader, self.writer = link, name, reader, writer
        self.sent = asyncio.Queue()       # (time read, piece), None at the end
        self.flying = asyncio.Queue()     # (time due, piece), None at the end
        self.bytes = 0
        self.tasks = []

    def run(self):
        self.tasks = [asyncio.ensure_future(f()) for f in (self.read, self.transmit, self.deliver)]
        return self.tasks

    async def read(self):
        while True:
            try:
                data = await self.reader.read(65536)
            except (ConnectionError, OSError):
                data = b''
            now = time.monotonic()
            if not data:
                await self.sent.put(None)
                return
            self.bytes += len(data)
            self.link.counts[self.name] += len(data)
            for k in range(0, len(data), PIECE):
                await self.sent.put((now, data[k:k + PIECE]))

    async def transmit(self):
        free_at = 0.0  # when the link has put out the previous piece (absolute, so sleeps do not drift)
        while True:
            item = await self.sent.get()
            if item is None:
                await self.flying.put(None)
                return
            read_at, piece = item
            start = max(read_at, free_at)
            while True:  # a stall holds the transmission, also one that starts while waiting
                start = max(start, self.link.stall_until)
                wait = start - time.monotonic()
                if wait <= 0:
                    break
                await asyncio.sleep(wait)
            free_at = start + (len(piece) * 8.0 / self.link.rate if self.link.rate else 0.0)
            await asyncio.sleep(max(0.0, free_at - time.monotonic()))
            await self.flying.put((free_at + self.link.one_way(), piece))

    async def deliver(self):
        last = 0.0
        while True:
            item = await self.flying.get()
            if item is None:
                if self.writer.can_write_eof() and not self.writer.is_closing():
                    self.writer.write_eof()
                return
            last = max(last, item[0])  # jitter never reorders the stream
            await asyncio.sleep(max(0.0, last - time.monotonic()))
            try:
                self.writer.write(item[1])
                await self.writer.drain()
            except (ConnectionError, OSError):
                return


class Relay:
    def __init__(self, args):
        self.args = args
        self.link = Link(args)
        self.open = {}  # number -> (handheld writer, service writer, tasks)

    async def serve(self):
        server = await asyncio.start_server(self.accept, HOST, self.args.listen)
        port = server.sockets[0].getsockname()[1]
        self.link.log('relaying port %d to port %d' % (port, self.args.target))
        print('shaper: listening on %s:%d' % (HOST, port), flush=True)
        for spec in filter(None, (self.args.cut_at or '').split(',')):
            asyncio.get_running_loop().call_later(float(spec), self.cut_all)
        for spec in filter(None, (self.args.stall_at or '').split(',')):
            at, length = spec.split(':')
            asyncio.get_running_loop().call_later(float(at), self.link.stall, float(length))
        if self.args.stall_mean > 0:
            asyncio.ensure_future(self.random_stalls())
        stop = asyncio.Event()
        for s in (signal.SIGTERM, signal.SIGINT):
            asyncio.get_running_loop().add_signal_handler(s, stop.set)
        await stop.wait()
        server.close()
        for n in list(self.open):
            self.close(n)
        c = self.link.counts
        self.link.log('summary: %d connections, %d cuts, %d stalls, %d bytes up, %d bytes down'
                      % (c['connections'], c['cuts'], c['stalls'], c['up'], c['down']))

    async def random_stalls(self):
        low, high = (float(x) for x in self.args.stall_len.split(':'))
        while True:
            await asyncio.sleep(self.link.rng.expovariate(1.0 / self.args.stall_mean))
            self.link.stall(self.link.rng.uniform(low, high))

    async def accept(self, h_reader, h_writer):
        self.link.counts['connections'] += 1
        n = self.link.counts['connections']
        try:
            s_reader, s_writer = await asyncio.open_connection(HOST, self.args.target)
        except OSError as e:
            self.link.log('connection %d: service unreachable (%s)' % (n, e))
            h_writer.close()
            return
        up = Direction(self.link, 'up', h_reader, s_writer)
        down = Direction(self.link, 'down', s_reader, h_writer)
        tasks = up.run() + down.run()
        self.open[n] = (h_writer, s_writer, tasks, up, down, s_reader)
        if self.args.cut_mean > 0:
            life = self.link.rng.expovariate(1.0 / self.args.cut_mean)
            self.link.log('connection %d open, to be cut after %.3f s' % (n, life))
            asyncio.get_running_loop().call_later(life, self.cut, n)
        else:
            self.link.log('connection %d open' % n)
        # The connection ends when both directions have delivered their end, or at a cut.
        await asyncio.gather(up.tasks[2], down.tasks[2], return_exceptions=True)
        if n in self.open:
            self.link.log('connection %d closed after %d bytes up, %d down' % (n, up.bytes, down.bytes))
            self.close(n)

    def close(self, n, quiet=False):
        h_writer, s_writer, tasks, _, _, s_reader = self.open.pop(n)
        for t in tasks:
            t.cancel()
        h_writer.transport.abort()
        if quiet:
            asyncio.ensure_future(self.hold_silent(n, s_reader, s_writer))
        else:
            s_writer.transport.abort()

    async def hold_silent(self, n, reader, s_writer):
        # The service's side hears nothing more; what it sends is dropped until it gives up.
        start = time.monotonic()
        try:
            while await reader.read(65536):
                pass
        except (ConnectionError, OSError):
            pass
        self.link.log('connection %d: the service closed its side %.1f s after the cut'
                      % (n, time.monotonic() - start))
        s_writer.transport.abort()

    def cut(self, n):
        if n not in self.open:
            return
        _, _, _, up, down, _ = self.open[n]
        self.link.counts['cuts'] += 1
        self.link.log('cut connection %d after %d bytes up, %d down' % (n, up.bytes, down.bytes))
        self.close(n, quiet=self.args.quiet_cuts)

    def cut_all(self):
        if not self.open:
            self.link.log('cut: no connection open')
        for n in list(self.open):
            self.cut(n)


async def measure_ideal(args):
    """Mean round trips of a ping and of one block through the link, with no stalls or cuts."""
    async def receiver(reader, writer):
        try:
            while True:
                head = await reader.readexactly(HEADER)
                length = int(head[:10])  # the ideal's own frame: length first
                if length:
                    await reader.readexactly(length)
                writer.write(b'+150 OK\0')
                writer.write(b'\0' * (ACK - 8))
                await writer.drain()
        except (asyncio.IncompleteReadError, ConnectionError):
            writer.close()

    target = await asyncio.start_server(receiver, HOST, 0)
    args.target = target.sockets[0].getsockname()[1]
    relay = Relay(args)
    server = await asyncio.start_server(relay.accept, HOST, 0)
    reader, writer = await asyncio.open_connection(HOST, server.sockets[0].getsockname()[1])

    async def exchange(length):
        t0 = time.monotonic()
        writer.write(b'%010d' % length + b' ' * (HEADER - 10) + b'x' * length)
        await writer.drain()
        await reader.readexactly(ACK)
        return time.monotonic() - t0

    pings = [await exchange(0) for _ in range(args.count)]
    blocks = [await exchange(args.block) for _ in range(args.count)]
    ping, block = sum(pings) / len(pings), sum(blocks) / len(blocks)
    print('ideal: ping round trip %.1f ms, block %d round trip %.1f ms, %.0f bytes/s'
          % (ping * 1000, args.block, block * 1000, args.block / block), flush=True)
    writer.close()
    for n in list(relay.open):
        relay.close(n)
    server.close()
    target.close()


def main():
    p = argparse.ArgumentParser(description='A GPRS-like link between two loopback ports.')
    p.add_argument('mode', choices=['relay', 'ideal'])
    p.add_argument('--listen', type=int, default=0)
    p.add_argument('--target', type=int, default=0)
    p.add_argument('--rtt-ms', type=float, default=300)
    p.add_argument('--jitter-ms', type=float, default=100)
    p.add_argument('--rate', type=float, default=0, help='bits per second per direction')
    p.add_argument('--seed', type=int, default=1)
    p.add_argument('--stall-mean', type=float, default=0)
    p.add_argument('--stall-len', default='2:5')
    p.add_argument('--cut-mean', type=float, default=0)
    p.add_argument('--cut-at', default='')
    p.add_argument('--stall-at', default='')
    p.add_argument('--quiet-cuts', action='store_true')
    p.add_argument('--block', type=int, default=2048)
    p.add_argument('--count', type=int, default=10)
    args = p.parse_args()
    if args.mode == 'relay':
        if not args.target:
            p.error('relay needs --target PORT')
        asyncio.run(Relay(args).serve())
    else:
        args.cut_mean = args.stall_mean = 0
        asyncio.run(measure_ideal(args))


if __name__ == '__main__':
    sys.exit(main())
