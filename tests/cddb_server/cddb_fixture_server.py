#!/usr/bin/env python3
"""A CDDB server for the tests: the freedb/gnudb cddb.cgi interface over
HTTP/1.0 on 127.0.0.1, answered from a folder of xmcd records, plus scripted
faults. See README.md beside this file."""
import argparse
import os
import re
import signal
import socket
import socketserver
import sys
import threading
import time
import urllib.parse

LOG_LOCK = threading.Lock()
REQUEST_LOG = []
LOG_FILE = None
RECORDS = {}  # discid (lower-case hex) -> list of (category, Record)
AR_DIR = None  # dBAR files, flat, by name


class Record:
    def __init__(self, category, discid, text):
        self.category = category
        self.discid = discid
        self.text = text
        self.offsets = []
        self.length = 0
        self.dtitle = ''
        lines = text.splitlines()
        in_offsets = False
        for line in lines:
            if line.startswith('#'):
                body = line[1:].strip()
                if body.startswith('Track frame offsets'):
                    in_offsets = True
                    continue
                if in_offsets and body.isdigit():
                    self.offsets.append(int(body))
                    continue
                in_offsets = False
                m = re.match(r'Disc length:\s*(\d+)', body)
                if m:
                    self.length = int(m.group(1))
                continue
            in_offsets = False
            if line.startswith('DTITLE='):
                self.dtitle += line[len('DTITLE='):]


def load_records(folder):
    for category in sorted(os.listdir(folder)):
        cat_dir = os.path.join(folder, category)
        if not os.path.isdir(cat_dir):
            continue
        for name in sorted(os.listdir(cat_dir)):
            if not re.fullmatch(r'[0-9a-f]{8}', name):
                continue
            with open(os.path.join(cat_dir, name), encoding='utf-8') as f:
                rec = Record(category, name, f.read())
            RECORDS.setdefault(name, []).append(rec)


def encode(text, proto):
    if proto >= 6:
        return text.encode('utf-8')
    return text.encode('cp932', errors='replace')


def inexact_matches(key_parts):
    """Records with the same track count whose offsets all lie within 10 s
    of the queried ones (the way fuzzy matching finds re-pressings)."""
    try:
        count = int(key_parts[1])
        offsets = [int(x) for x in key_parts[2:2 + count]]
        length = int(key_parts[2 + count])
    except (IndexError, ValueError):
        return []
    found = []
    for recs in RECORDS.values():
        for rec in recs:
            if len(rec.offsets) != count or not rec.offsets:
                continue
            if all(abs(a - b) <= 750 for a, b in zip(rec.offsets, offsets)) and abs(rec.length - length) <= 10:
                found.append(rec)
    return found


def cddb_reply(params):
    cmd = params.get('cmd', '')
    try:
        proto = int(params.get('proto', '1'))
    except ValueError:
        proto = 1
    words = cmd.split(' ')
    lower = [w.lower() for w in words]
    crlf = '\r\n'
    if not params.get('hello'):
        return '500 Command syntax error: incorrect number of arguments.' + crlf, proto
    if lower[:1] == ['motd']:
        return ("210 Last modified: 12/01/2026 09:00:00 MOTD follows (until terminating `.')" + crlf +
                'Welcome to the quorvo test CDDB server.' + crlf + '.' + crlf), proto
    if lower[:2] == ['cddb', 'query']:
        parts = words[2:]
        if len(parts) < 3:
            return '500 Command syntax error: incorrect number of arguments.' + crlf, proto
        discid = parts[0].lower()
        exact = RECORDS.get(discid, [])
        if len(exact) == 1:
            rec = exact[0]
            return '200 %s %s %s%s' % (rec.category, rec.discid, rec.dtitle, crlf), proto
        if len(exact) > 1:
            body = "210 Found exact matches, list follows (until terminating `.')" + crlf
            for rec in exact:
                body += '%s %s %s%s' % (rec.category, rec.discid, rec.dtitle, crlf)
            return body + '.' + crlf, proto
        fuzzy = inexact_matches(parts)
        if fuzzy:
            body = "211 Found inexact matches, list follows (until terminating `.')" + crlf
            for rec in fuzzy:
                body += '%s %s %s%s' % (rec.category, rec.discid, rec.dtitle, crlf)
            return body + '.' + crlf, proto
        return '202 No match for disc ID %s.%s' % (discid, crlf), proto
    if lower[:2] == ['cddb', 'read'] and len(words) >= 4:
        category, discid = words[2].lower(), words[3].lower()
        for rec in RECORDS.get(discid, []):
            if rec.category == category:
                lines = rec.text.replace('\r\n', '\n').rstrip('\n').split('\n')
                body = "210 %s %s CD database entry follows (until terminating `.')%s" % (category, discid, crlf)
                body += crlf.join(lines) + crlf + '.' + crlf
                return body, proto
        return '401 %s %s No such CD entry in database.%s' % (category, discid, crlf), proto
    return '500 Unrecognized command.' + crlf, proto


# The public service's rules (gnudb): the hello must carry a plausible e-mail
# address as its user and host, or every command is refused with a 500 line.
HELLO_USER = re.compile(r'[A-Za-z0-9._-]+')
HELLO_HOST = re.compile(r'[A-Za-z0-9-]+(\.[A-Za-z0-9-]+)+')


def plausible_hello(hello):
    words = hello.split(' ')
    return (len(words) == 4 and HELLO_USER.fullmatch(words[0]) is not None
            and HELLO_HOST.fullmatch(words[1]) is not None)


# The CDDB protocol's own texts for the error statuses.
REFUSALS = {
    401: 'No such CD entry in database.',
    402: 'Server error.',
    403: 'Database entry is corrupt.',
    409: 'No handshake.',
    530: 'Server error, server timeout.',
}


def log_request(line):
    with LOG_LOCK:
        REQUEST_LOG.append(line)
        if LOG_FILE:
            with open(LOG_FILE, 'a', encoding='latin-1') as f:
                f.write(line + '\n')


class Handler(socketserver.BaseRequestHandler):
    def read_header(self):
        data = b''
        self.request.settimeout(30)
        while b'\r\n\r\n' not in data and len(data) < 65536:
            try:
                chunk = self.request.recv(4096)
            except OSError:
                return None
            if not chunk:
                return None
            data += chunk
        return data.split(b'\r\n\r\n', 1)[0].decode('latin-1')

    def send(self, data):
        try:
            self.request.sendall(data)
        except OSError:
            pass

    cut = None  # set per request by /cut/<n>/
    chunked = False  # set per request by /chunked/
    motd_status = 0  # set per request by /motd/<NNN>/

    def reply(self, status, body, length=True, extra='', ctype='text/plain'):
        if self.cut is not None:
            body, length = body[:self.cut], False
        if self.chunked:
            self.send(b'HTTP/1.1 %s\r\nServer: quorvo-cddb-fixture\r\nTransfer-Encoding: chunked\r\n'
                      b'Content-Type: text/plain\r\n\r\n' % status.encode('latin-1') + chunk_coded(body))
            return
        head = 'HTTP/1.0 %s\r\n' % status
        head += 'Server: quorvo-cddb-fixture\r\nContent-Type: %s\r\n' % ctype
        if length:
            head += 'Content-Length: %d\r\n' % len(body)
        head += extra
        self.send(head.encode('latin-1') + b'\r\n' + body)

    def wait_for_close(self, seconds):
        """Silence: hold the connection open until the client gives up."""
        self.request.settimeout(seconds)
        try:
            while self.request.recv(1024):
                pass
        except OSError:
            pass

    def drip(self, header, delay, whole, limit=600):
        """Sends the header (byte by byte when `whole`), then body bytes one
        at a time, each after `delay` seconds, until the client closes the
        connection (at most `limit` seconds, so that no thread is left)."""
        end = time.monotonic() + limit
        try:
            if whole:
                for i in range(len(header)):
                    time.sleep(delay)
                    self.request.sendall(header[i:i + 1])
            else:
                self.request.sendall(header)
            while time.monotonic() < end:
                time.sleep(delay)
                self.request.sendall(b'.')
        except OSError:
            pass

    def handle(self):
        header = self.read_header()
        if header is None:
            return
        lines = header.split('\r\n')
        request_line = lines[0]
        host = ''
        for line in lines[1:]:
            if line.lower().startswith('host:'):
                host = line[5:].strip()
        pieces = request_line.split(' ')
        target = pieces[1] if len(pieces) >= 2 else '/'
        # A proxy forwards the absolute form or the origin form; both name a path here.
        parsed = urllib.parse.urlsplit(target)
        path = parsed.path or '/'
        query = parsed.query
        if path == '/__log':
            with LOG_LOCK:
                text = ''.join(l + '\n' for l in REQUEST_LOG)
            self.reply('200 OK', text.encode('latin-1', errors='replace'))
            return
        if path == '/__reset':
            with LOG_LOCK:
                REQUEST_LOG.clear()
            self.reply('200 OK', b'reset\n')
            return
        log_request('%s\tHost: %s' % (request_line, host))
        delayed = re.match(r'/delay/(\d+)(/.*)', path)
        if delayed:
            # A server that takes its time over every request, then answers.
            time.sleep(int(delayed.group(1)) / 1000.0)
            path = delayed.group(2)
        cut = re.match(r'/cut/(\d+)(/.*)', path)
        if cut:
            # The connection closes after that many body bytes, and no
            # Content-Length tells the client that anything is missing.
            self.cut = int(cut.group(1))
            path = cut.group(2)
        if path.startswith('/chunked/'):
            # The same replies in the chunked transfer coding (HTTP/1.1).
            self.chunked = True
            path = path[len('/chunked'):]
        motd = re.match(r'/motd/(\d+)(/.*)', path)
        if motd:
            # A server without a message of the day (401) or without the
            # command (500); every other command is answered as usual.
            self.motd_status = int(motd.group(1))
            path = motd.group(2)
        if path.startswith('/nginx504/'):
            # A gateway in front of the server that gave up waiting.
            self.send(b'HTTP/1.1 504 Gateway Time-out\r\nServer: nginx\r\nContent-Type: text/html\r\n'
                      b'Content-Length: %d\r\nConnection: close\r\n\r\n' % len(NGINX_504) + NGINX_504)
            return
        if path.startswith('/accuraterip/'):
            self.serve_accuraterip(path)
            return
        if path.startswith('/found/'):
            # 302 to the rest of the path, named relative to this server.
            self.reply('302 Found', b'', extra='Location: %s\r\n' % (path[len('/found'):] + ('?' + query if query else '')))
            return
        refused = re.match(r'/refuse/(\d+)(/.*)', path)
        if refused and refused.group(2).endswith('/cddb.cgi'):
            # A server that turns every command down with a status line of
            # its own, in an HTTP reply that is fine.
            code = int(refused.group(1))
            self.reply('200 OK', ('%d %s\r\n' % (code, REFUSALS.get(code, 'Refused.'))).encode('latin-1'))
        elif path.endswith('/cddb.cgi'):
            self.serve_cddb(path, query)
        elif path.startswith('/fault/'):
            self.serve_fault(path[len('/fault/'):], query, host)
        elif path.startswith('/moved/'):
            self.reply('301 Moved Permanently', b'moved\r\n',
                       extra='Location: http://%s/%s\r\n' % (host, path[len('/moved/'):] + ('?' + query if query else '')))
        else:
            self.reply('404 Not Found', b'404 Not Found\r\n')

    def serve_cddb(self, path, query):
        # '+' stands for a blank in the cddb.cgi query, as in every form encoding.
        params = dict(urllib.parse.parse_qsl(query, keep_blank_values=True))
        if '/gnudb/' in path:
            self.serve_like_the_service(params)
            return
        text, proto = cddb_reply(params)
        if self.motd_status and params.get('cmd', '').lower().startswith('motd'):
            text = {401: 'No message of the day available', 500: 'Unrecognized command.'}.get(self.motd_status, 'x')
            text = '%d %s\r\n' % (self.motd_status, text)
        body = encode(text, proto)
        self.reply('200 OK', body, length='/nolen/' not in path)

    def serve_accuraterip(self, path):
        """A dBAR file from --accuraterip-dir, read now: tests write them at any time."""
        m = re.fullmatch(r'/accuraterip/[^/]+/[^/]+/[^/]+/([A-Za-z0-9._-]+)\.bin', path)
        try:
            with open(os.path.join(AR_DIR, m.group(1) + '.bin'), 'rb') as f:
                self.reply('200 OK', f.read(), ctype='application/octet-stream')
        except (AttributeError, TypeError, OSError):  # no match, no folder, no file
            self.reply('404 Not Found', b'<html><body><h1>404 Not Found</h1></body></html>\r\n', ctype='text/html')

    def serve_like_the_service(self, params):
        """The live service as clients meet it: the hello checked on every
        command, LF line ends, HTTP/1.1 with keep-alive (the connection stays
        open after a complete body until the client closes it)."""
        if not plausible_hello(params.get('hello', '')):
            text = '500 Invalid hello: a valid e-mail address (user and host) is required.\r\n'
            proto = 1
        else:
            text, proto = cddb_reply(params)
        body = encode(text.replace('\r\n', '\n'), proto)
        self.send(('HTTP/1.1 200 OK\r\nServer: quorvo-cddb-fixture\r\nContent-Type: text/plain; charset=%s\r\n'
                   'Content-Length: %d\r\nConnection: keep-alive\r\n\r\n'
                   % ('utf-8' if proto >= 6 else 'iso-8859-1', len(body))).encode('latin-1') + body)
        self.wait_for_close(30)

    def serve_fault(self, name, query, host):
        args = dict(urllib.parse.parse_qsl(query))
        if name == 'silent':
            self.wait_for_close(60)
        elif name == 'silent-body':
            # Header with a Content-Length, part of the body, then nothing.
            self.send(b'HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\n0123456789')
            self.wait_for_close(60)
        elif name == 'silent-body-nolen':
            self.send(b'HTTP/1.0 200 OK\r\n\r\n0123456789')
            self.wait_for_close(60)
        elif name == 'slow' or name.startswith('slow/'):
            # The reply trickles in: one byte every `ms` milliseconds (also
            # as /fault/slow/<ms>, for URLs that bring a query of their own).
            delay = int(name[len('slow/'):] if name.startswith('slow/') else args.get('ms', '100')) / 1000.0
            data = b'HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\nslow reply'
            for i in range(len(data)):
                self.send(data[i:i + 1])
                time.sleep(delay)
        elif name.startswith('drip/') or name.startswith('drip-body/'):
            # A peer that never finishes: one byte every `ms` milliseconds
            # until the client goes away (drip/: the header too, so it never
            # ends either when slow enough; drip-body/: the header at once,
            # then a body without a length that never ends).
            whole = name.startswith('drip/')
            try:
                delay = int(name.split('/', 1)[1]) / 1000.0
            except ValueError:
                delay = 1.0
            self.drip(b'HTTP/1.0 200 OK\r\nServer: quorvo-cddb-fixture\r\nContent-Type: text/plain\r\n\r\n',
                      delay, whole)
        elif name == 'keepalive':
            # A complete body, then the connection held open.
            self.send(b'HTTP/1.1 200 OK\r\nContent-Length: 10\r\nConnection: keep-alive\r\n\r\nkeep alive')
            self.wait_for_close(60)
        elif name == 'short':
            self.send(b'HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 100\r\n\r\n' + b'x' * 40)
        elif name == 'nolength':
            self.reply('200 OK', b'body without a length\r\n', length=False)
        elif name == 'big':
            size = int(args.get('size', '5000'))
            self.reply('200 OK', bytes((i * 7) % 256 for i in range(size)), length=args.get('len', '1') == '1')
        elif name.startswith('chain/'):
            # /fault/chain/N: N more 301 hops, then the final page.
            try:
                n = int(name[len('chain/'):])
            except ValueError:
                n = 0
            if n <= 0:
                self.reply('200 OK', b'end of chain\r\n')
            else:
                self.reply('301 Moved Permanently', b'',
                           extra='Location: http://%s/fault/chain/%d\r\n' % (host, n - 1))
        elif name == 'loop' or name.startswith('loop/'):
            # /fault/loop/<ms>: every hop takes that long.
            if name.startswith('loop/'):
                time.sleep(int(name[len('loop/'):]) / 1000.0)
            self.reply('301 Moved Permanently', b'', extra='Location: http://%s/fault/%s\r\n' % (host, name))
        elif name == 'relative':
            self.reply('301 Moved Permanently', b'', extra='Location: chain/0\r\n')
        elif name == 'chunked':
            self.send(b'HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n'
                      b'e;ext=1\r\nchunked body\r\n\r\nd\r\nsecond line\r\n\r\n0\r\n\r\n')
        elif name == 'chunked-bad':
            self.send(b'HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n9\r\ngood part\r\nzz\r\nbad\r\n0\r\n\r\n')
        elif name == 'chunked-cut':
            self.send(b'HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\na\r\nfirst part\r\n20\r\nnot all')
        elif name == 'no-location':
            self.reply('301 Moved Permanently', b'')
        elif name == 'badstatus':
            self.reply('200 OK.', b'body after a malformed status line\r\n')
        elif name == 'http11':
            self.send(b'HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nbody')
        elif name == 'garbage':
            self.send(bytes((i * 37 + 11) % 256 for i in range(3000)).replace(b'\r\n\r\n', b'....'))
        elif name.startswith('status/'):
            code = name[len('status/'):]
            self.reply('%s Fixture' % code, ('status %s\r\n' % code).encode())
        else:
            self.reply('404 Not Found', b'no such fault\r\n')


NGINX_504 = (b'<html>\r\n<head><title>504 Gateway Time-out</title></head>\r\n<body>\r\n'
             b'<center><h1>504 Gateway Time-out</h1></center>\r\n<hr><center>nginx</center>\r\n</body>\r\n</html>\r\n')


def chunk_coded(body, size=7):
    """The body in chunks of `size` bytes, the first with an extension."""
    out = b''
    for i in range(0, len(body), size):
        piece = body[i:i + size]
        out += b'%x%s\r\n' % (len(piece), b';x=1' if i == 0 else b'') + piece + b'\r\n'
    return out + b'0\r\n\r\n'


class Server(socketserver.ThreadingMixIn, socketserver.TCPServer):
    daemon_threads = True
    allow_reuse_address = True


def open_blackhole():
    """A port whose listen queue is full: the peer's connect neither
    succeeds nor fails, as with a host that drops every packet."""
    listener = socket.socket()
    listener.bind(('127.0.0.1', 0))
    listener.listen(0)
    fillers = []
    for _ in range(3):
        s = socket.socket()
        s.setblocking(False)
        s.connect_ex(listener.getsockname())
        fillers.append(s)
    return listener, fillers


def write_port(path, port):
    tmp = path + '.tmp'
    with open(tmp, 'w') as f:
        f.write('%d\n' % port)
    os.replace(tmp, path)


def main():
    global LOG_FILE, AR_DIR
    ap = argparse.ArgumentParser()
    ap.add_argument('--records', required=True)
    ap.add_argument('--port-file', required=True)
    ap.add_argument('--blackhole-port-file')
    ap.add_argument('--log')
    ap.add_argument('--accuraterip-dir')
    ap.add_argument('--port', type=int, default=0)
    args = ap.parse_args()
    if args.blackhole_port_file:
        blackhole = open_blackhole()
        write_port(args.blackhole_port_file, blackhole[0].getsockname()[1])
    LOG_FILE = args.log
    AR_DIR = args.accuraterip_dir
    load_records(args.records)
    server = Server(('127.0.0.1', args.port), Handler)
    signal.signal(signal.SIGTERM, lambda *_: threading.Thread(target=server.shutdown).start())
    write_port(args.port_file, server.server_address[1])
    try:
        server.serve_forever(poll_interval=0.2)
    except KeyboardInterrupt:
        pass
    server.server_close()


if __name__ == '__main__':
    main()
