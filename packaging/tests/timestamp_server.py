"""A time-stamp authority for the release test: answers RFC 3161 requests over HTTP on
127.0.0.1 with `openssl ts -reply` and the configuration given. Prints its port, then serves
until it is ended.

    python3 timestamp_server.py <openssl ts configuration>
"""
import http.server
import subprocess
import sys


class Handler(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        query = self.rfile.read(int(self.headers["Content-Length"]))
        reply = subprocess.run(
            ["openssl", "ts", "-reply", "-config", sys.argv[1], "-queryfile", "/dev/stdin",
             "-out", "/dev/stdout"],
            input=query, capture_output=True, check=True).stdout
        self.send_response(200)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)

    def log_message(self, format, *args):
        pass


server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
print(server.server_address[1], flush=True)
server.serve_forever()
