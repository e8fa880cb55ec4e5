"""A scripted LDAP directory for the lookup service's concurrency tests: just enough LDAPv3 over
plain TCP on 127.0.0.1 to answer the service's anonymous searches, each the test's way.

- A search whose filter asks for a username starting with "hang" is never answered.
- While `frozen` is set, every search is left unanswered but those for the names in `healthy`,
  the readiness probe's search of the base included.
- Any other username is found, with the home share \\\\files1.campus.example\\homes\\<name>.

Run alone it prints its port and serves until it is ended:
    python3 fake_directory.py
"""
import socket
import socketserver
import sys
import threading

HOME_SHARE = "\\\\files1.campus.example\\homes\\"


def encode(tag, content):
    """One BER element: the tag, the definite length and the content."""
    size = len(content)
    if size < 0x80:
        length = bytes([size])
    else:
        digits = size.to_bytes((size.bit_length() + 7) // 8, "big")
        length = bytes([0x80 | len(digits)]) + digits
    return bytes([tag]) + length + content


def octets(text):
    return encode(0x04, text.encode())


def result(tag, message_id, code=0):
    """An LDAPResult of operation `tag`: success unless `code` says otherwise."""
    return message(message_id, encode(tag, encode(0x0A, bytes([code])) + octets("") + octets("")))


def message(message_id, operation):
    number = message_id.to_bytes((message_id.bit_length() + 8) // 8, "big")
    return encode(0x30, encode(0x02, number) + operation)


def elements(data):
    """The (tag, content) pairs of a run of BER elements."""
    found = []
    offset = 0
    while offset < len(data):
        tag = data[offset]
        size = data[offset + 1]
        offset += 2
        if size & 0x80:
            count = size & 0x7F
            size = int.from_bytes(data[offset:offset + count], "big")
            offset += count
        found.append((tag, data[offset:offset + size]))
        offset += size
    return found


def asserted_values(tag, content):
    """The values of the username assertions (uid, sAMAccountName) in a search filter."""
    if tag == 0xA3:
        (_, attribute), (_, value) = elements(content)
        if attribute.decode().lower() in ("uid", "samaccountname"):
            return [value.decode(errors="replace")]
        return []
    if tag in (0xA0, 0xA1, 0xA2):
        return [value for child in elements(content) for value in asserted_values(*child)]
    return []


class Directory:
    def __init__(self):
        self.frozen = False
        self.healthy = set()
        self.searches = 0
        self.lock = threading.Lock()

    def answer(self, operation, content, message_id):
        """The reply to one request, or None to leave it unanswered."""
        if operation == 0x60:  # bind
            return result(0x61, message_id)
        if operation != 0x63:  # search; abandon and the rest get no reply
            return None
        with self.lock:
            self.searches += 1
        fields = elements(content)
        names = asserted_values(*fields[6])
        name = names[0] if names else ""
        if name.startswith("hang") or (self.frozen and name not in self.healthy):
            return None
        if not names:  # the readiness probe: a search of the base
            return result(0x65, message_id)
        entry = encode(0x64, octets("uid=" + name + ",ou=people,dc=campus,dc=example") +
                       encode(0x30, encode(0x30, octets("homeDirectory") +
                                           encode(0x31, octets(HOME_SHARE + name)))))
        return message(message_id, entry) + result(0x65, message_id)

    def serve(self):
        """Starts serving on a thread of its own; returns the port."""
        directory = self

        class Handler(socketserver.BaseRequestHandler):
            def handle(self):
                pending = b""
                while True:
                    try:
                        data = self.request.recv(65536)
                    except OSError:
                        return
                    if not data:
                        return
                    pending += data
                    while len(pending) >= 2:
                        try:
                            ((tag, body),) = elements(pending[:complete_size(pending)])
                        except (IndexError, ValueError):
                            break
                        pending = pending[complete_size(pending):]
                        parts = elements(body)
                        message_id = int.from_bytes(parts[0][1], "big")
                        operation, content = parts[1]
                        if operation == 0x42:  # unbind
                            return
                        reply = directory.answer(operation, content, message_id)
                        if reply is not None:
                            self.request.sendall(reply)

        server = socketserver.ThreadingTCPServer(("127.0.0.1", 0), Handler)
        server.daemon_threads = True
        threading.Thread(target=server.serve_forever, daemon=True).start()
        return server.server_address[1]


def complete_size(data):
    """The size of the first element of `data`; ValueError while it has not all arrived."""
    size = data[1]
    header = 2
    if size & 0x80:
        count = size & 0x7F
        if len(data) < 2 + count:
            raise ValueError("incomplete")
        size = int.from_bytes(data[2:2 + count], "big")
        header += count
    if len(data) < header + size:
        raise ValueError("incomplete")
    return header + size


if __name__ == "__main__":
    port = Directory().serve()
    print(port, flush=True)
    try:
        threading.Event().wait()
    except KeyboardInterrupt:
        sys.exit(0)
