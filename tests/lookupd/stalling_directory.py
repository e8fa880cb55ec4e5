"""A directory replica that stalls, for the lookup service's test. It accepts connections on
127.0.0.1 and then, in mode `silent`, never sends a byte (an ldaps:// replica whose TLS
handshake never finishes), or, in mode `starttls`, answers the StartTLS request with success
and never sends a byte again (the TLS handshake that follows stalls). It reads what it is sent
until the peer closes. Prints its port, then serves until it is ended.

    python3 stalling_directory.py silent|starttls
"""
import os
import socketserver
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from fake_directory import complete_size, elements, encode, message, octets  # noqa: E402

STARTTLS = b"1.3.6.1.4.1.1466.20037"


def first_message(stream):
    """The message id and the operation of the first LDAPMessage read from `stream`."""
    data = b""
    while True:
        try:
            ((_, body),) = elements(data[:complete_size(data)])
            break
        except (IndexError, ValueError):
            chunk = stream.recv(4096)
            if not chunk:
                raise EOFError
            data += chunk
    (_, message_id), operation = elements(body)[:2]
    return int.from_bytes(message_id, "big"), operation


class Handler(socketserver.BaseRequestHandler):
    def handle(self):
        try:
            if sys.argv[1] == "starttls":
                message_id, (tag, content) = first_message(self.request)
                if tag != 0x77 or STARTTLS not in content:  # an ExtendedRequest for StartTLS
                    return
                success = encode(0x0A, b"\x00") + octets("") + octets("") + encode(0x8A, STARTTLS)
                self.request.sendall(message(message_id, encode(0x78, success)))
            while self.request.recv(4096):
                pass
        except (EOFError, OSError):
            pass


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True


if len(sys.argv) != 2 or sys.argv[1] not in ("silent", "starttls"):
    sys.exit(__doc__)
server = Server(("127.0.0.1", 0), Handler)
print(server.server_address[1], flush=True)
server.serve_forever()
