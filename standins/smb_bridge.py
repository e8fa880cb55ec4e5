#!/usr/bin/python3
"""The SMB client that Wine lacks, for the test network provider's SMB mode
(brisvane-test-provider.dll with the setting SmbBridge): a small server on a loopback TCP port
that the provider asks, from inside Wine, to connect a share as a member.

  smb_bridge.py --listen 127.0.0.1:PORT --folder DIR --server NAME=ADDRESS...

For a request it logs on to the share's SMB server with the member's domain, username and
password (Samba's own client library: it reports the server's NT status), answers with the code
that Windows' SMB client returns for that status, and on success mounts the share with smbnetfs
(FUSE, on libsmbclient) and answers with the folder that shows it: the provider makes the drive
letter show that folder, so the member's files come over SMB. File servers are reached by the
addresses given with --server; a name without one is a server that cannot be reached (53).

Requests, one per connection: UTF-8 fields, each ended by a NUL byte, then the end of the
client's sending.
  map, DOMAIN, USERNAME, PASSWORD, \\\\SERVER\\SHARE[\\PATH], LETTER
      -> "CODE\\tFOLDER\\n": FOLDER shows the share for the drive LETTER (empty: no drive, no
         mount), and is empty unless CODE is 0; a letter mapped again loses its earlier mount
  unmap, LETTER  ->  "CODE\\n"
DIR holds the client configuration (no shared caches, names resolved by no broadcast) and the
mounts, each with smbnetfs's credentials file in a 0700 folder of its own that is removed at
unmount. SIGTERM unmounts every share and ends the bridge. The password is never written
anywhere else, never logged and never put on a command line or in an environment.
"""

import argparse
import os
import shutil
import signal
import socket
import subprocess
import sys
import time

# NT status -> what WNetAddConnection2 returns for it on Windows.
ERROR_FOR_STATUS = {
    0xC000006D: 1326,  # NT_STATUS_LOGON_FAILURE: ERROR_LOGON_FAILURE
    0xC000006A: 86,  # NT_STATUS_WRONG_PASSWORD: ERROR_INVALID_PASSWORD
    0xC0000072: 1331,  # NT_STATUS_ACCOUNT_DISABLED: ERROR_ACCOUNT_DISABLED
    0xC0000071: 1330,  # NT_STATUS_PASSWORD_EXPIRED: ERROR_PASSWORD_EXPIRED
    0xC0000224: 1907,  # NT_STATUS_PASSWORD_MUST_CHANGE: ERROR_PASSWORD_MUST_CHANGE
    0xC0000193: 1793,  # NT_STATUS_ACCOUNT_EXPIRED: ERROR_ACCOUNT_EXPIRED
    0xC0000234: 1909,  # NT_STATUS_ACCOUNT_LOCKED_OUT: ERROR_ACCOUNT_LOCKED_OUT
    0xC000006E: 1327,  # NT_STATUS_ACCOUNT_RESTRICTION: ERROR_ACCOUNT_RESTRICTION
    0xC000006F: 1328,  # NT_STATUS_INVALID_LOGON_HOURS: ERROR_INVALID_LOGON_HOURS
    0xC0000070: 1329,  # NT_STATUS_INVALID_WORKSTATION: ERROR_INVALID_WORKSTATION
    0xC000005E: 1311,  # NT_STATUS_NO_LOGON_SERVERS: ERROR_NO_LOGON_SERVERS
    0xC00000CC: 67,  # NT_STATUS_BAD_NETWORK_NAME: ERROR_BAD_NET_NAME
    0xC0000022: 5,  # NT_STATUS_ACCESS_DENIED: ERROR_ACCESS_DENIED
    # The server cannot be reached: ERROR_BAD_NETPATH.
    0xC0000236: 53,  # NT_STATUS_CONNECTION_REFUSED
    0xC000023C: 53,  # NT_STATUS_NETWORK_UNREACHABLE
    0xC000023D: 53,  # NT_STATUS_HOST_UNREACHABLE
    0xC00000B5: 53,  # NT_STATUS_IO_TIMEOUT
    0xC00000BE: 53,  # NT_STATUS_BAD_NETWORK_PATH
}
ERROR_BAD_NETPATH = 53
ERROR_NOT_CONNECTED = 2250
ERROR_INVALID_PARAMETER = 87
# What Windows answers for a failure with no more precise code.
ERROR_UNEXP_NET_ERR = 59

MAX_REQUEST = 64 * 1024
MOUNT_WAIT_SECONDS = 10


def error_for_status(status):
    return ERROR_FOR_STATUS.get(status & 0xFFFFFFFF, ERROR_UNEXP_NET_ERR)


class SmbClient:
    """Logs on to SMB shares with a client configuration of its own in `folder`: its caches
    there rather than in the system's /run/samba, names resolved by the host's resolver only."""

    def __init__(self, folder):
        from samba.param import LoadParm
        from samba.samba3 import param as s3param

        os.makedirs(folder, mode=0o700, exist_ok=True)
        self.config = os.path.join(folder, "smb.conf")
        with open(self.config, "w", encoding="utf-8") as file:
            file.write("[global]\n")
            for name in ("cache directory", "lock directory", "state directory", "private dir"):
                file.write(f"\t{name} = {folder}\n")
            # NTLM only: Kerberos would look the realm's KDC up in DNS, beyond loopback.
            file.write("\tname resolve order = host\n\tdisable netbios = yes\n"
                       "\tclient use kerberos = off\n\tclient min protocol = SMB2\n")
        # The connection takes Samba 3's parameters, the credentials Samba 4's.
        self._parameters = s3param.get_context()
        self._parameters.load(self.config)
        self._credential_parameters = LoadParm()
        self._credential_parameters.load(self.config)

    def log_on(self, address, share, domain, username, password):
        """None when the member may use the share; otherwise the server's NT status."""
        from samba import NTSTATUSError
        from samba.credentials import DONT_USE_KERBEROS, Credentials
        from samba.samba3 import libsmb_samba_internal as libsmb

        credentials = Credentials()
        credentials.guess(self._credential_parameters)
        credentials.set_kerberos_state(DONT_USE_KERBEROS)
        credentials.set_domain(domain)
        credentials.set_username(username)
        credentials.set_password(password)
        try:
            libsmb.Conn(address, share, self._parameters, credentials)
        except NTSTATUSError as error:
            return error.args[0] & 0xFFFFFFFF
        return None


def quoted(text):
    """A value of smbnetfs's configuration: in double quotes, with none inside."""
    if '"' in text or "\n" in text or "\0" in text:
        raise ValueError("a double quote, line break or NUL in a credential")
    return f'"{text}"'


class Mount:
    """One share mounted with smbnetfs as a member, until unmounted."""

    def __init__(self, folder, client_config, address, share, domain, username, password):
        self.folder = folder
        self.home = os.path.join(folder, "credentials")
        self.root = os.path.join(folder, "mount")
        os.makedirs(os.path.join(self.home, ".smb"), mode=0o700)
        os.chmod(self.home, 0o700)
        os.makedirs(self.root)
        shutil.copy(client_config, os.path.join(self.home, ".smb", "smb.conf"))
        config = os.path.join(self.home, ".smb", "smbnetfs.conf")
        # smbnetfs takes credentials only from a file that no one else may read, and reads it
        # again whenever a connection is made anew: the file lives as long as the mount.
        descriptor = os.open(config, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o600)
        with os.fdopen(descriptor, "w", encoding="utf-8") as file:
            file.write('smb_query_browsers "false"\nuse_libsecret "false"\nlocal_charset "UTF-8"\n'
                       'show_$_shares "true"\n')
            file.write(f"auth {quoted(f'{address}/{share}')} "
                       f"{quoted(f'{domain}/{username}')} {quoted(password)}\n")
        log = open(os.path.join(folder, "smbnetfs.log"), "ab")
        # allow_other: the mount is root's, and a desktop user's Wine must read it too.
        self.process = subprocess.Popen(
            ["smbnetfs", self.root, "-f", "-o", f"config={config},allow_other"],
            stdin=subprocess.DEVNULL, stdout=log, stderr=log,
            env={"HOME": self.home, "PATH": os.environ.get("PATH", "/usr/bin:/bin")})
        log.close()
        self.share_folder = os.path.join(self.root, address, share)

    def wait_until_shown(self):
        deadline = time.monotonic() + MOUNT_WAIT_SECONDS
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                return False
            try:
                os.listdir(self.share_folder)
                return True
            except OSError:
                time.sleep(0.05)
        return False

    def unmount(self):
        # The mount goes first: removing a folder through a live mount would delete the
        # member's files on the server.
        subprocess.run(["umount", self.root], check=False, stderr=subprocess.DEVNULL)
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        if os.path.ismount(self.root):
            subprocess.run(["umount", "--lazy", self.root], check=False)
        if not os.path.ismount(self.root):
            shutil.rmtree(self.folder)


class Bridge:
    def __init__(self, folder, servers):
        self.folder = folder
        self.servers = {name.lower(): address for name, address in servers.items()}
        self.client = SmbClient(os.path.join(folder, "client"))
        self.mounts = {}  # drive letter -> Mount
        self.count = 0

    def map(self, domain, username, password, remote, letter):
        parts = remote.split("\\")
        if len(parts) < 4 or parts[0] or parts[1] or not parts[2] or not parts[3]:
            return ERROR_INVALID_PARAMETER, ""
        server, share, path = parts[2], parts[3], parts[4:]
        address = self.servers.get(server.lower())
        if address is None:
            return ERROR_BAD_NETPATH, ""
        status = self.client.log_on(address, share, domain, username, password)
        if status is not None:
            return error_for_status(status), ""
        if not letter:
            return 0, ""  # a connection without a drive: nothing to show
        # A letter mapped anew no longer shows what it showed before.
        self.unmap(letter)
        self.count += 1
        folder = os.path.join(self.folder, "mounts", str(self.count))
        try:
            mount = Mount(folder, self.client.config, address, share, domain, username, password)
        except ValueError:
            # A credential that smbnetfs's configuration cannot carry (a double quote).
            shutil.rmtree(folder)
            return ERROR_UNEXP_NET_ERR, ""
        self.mounts[letter] = mount
        if not mount.wait_until_shown():
            self.unmap(letter)
            return ERROR_UNEXP_NET_ERR, ""
        return 0, os.path.join(mount.share_folder, *path)

    def unmap(self, letter):
        mount = self.mounts.pop(letter, None)
        if mount is None:
            return ERROR_NOT_CONNECTED
        mount.unmount()
        return 0

    def unmap_all(self):
        for letter in list(self.mounts):
            self.unmap(letter)

    def answer(self, request):
        fields = request.split("\0")
        if fields[-1] != "":
            return f"{ERROR_INVALID_PARAMETER}\t\n"
        fields.pop()
        if len(fields) == 6 and fields[0] == "map":
            code, folder = self.map(*fields[1:])
            print(f"map {fields[4]} as {fields[1]}\\{fields[2]} to {fields[5] or 'no drive'}: "
                  f"{code}", flush=True)
            return f"{code}\t{folder}\n"
        if len(fields) == 2 and fields[0] == "unmap":
            code = self.unmap(fields[1])
            print(f"unmap {fields[1]}: {code}", flush=True)
            return f"{code}\n"
        return f"{ERROR_INVALID_PARAMETER}\t\n"


def read_request(connection):
    data = b""
    while len(data) <= MAX_REQUEST:
        chunk = connection.recv(4096)
        if not chunk:
            return data.decode("utf-8")
        data += chunk
    raise ValueError("request too long")


def serve(bridge, listener):
    while True:
        connection, _ = listener.accept()
        with connection:
            connection.settimeout(30)
            try:
                reply = bridge.answer(read_request(connection))
            except (OSError, ValueError) as error:
                print(f"request refused: {error}", flush=True)
                reply = f"{ERROR_INVALID_PARAMETER}\t\n"
            try:
                connection.sendall(reply.encode("utf-8"))
            except OSError:
                pass


def address_pair(text):
    host, _, port = text.rpartition(":")
    return host, int(port)


def server_entry(text):
    name, _, address = text.partition("=")
    if not name or not address:
        raise argparse.ArgumentTypeError(f"not NAME=ADDRESS: {text}")
    return name, address


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--listen", type=address_pair, required=True)
    parser.add_argument("--folder", required=True)
    parser.add_argument("--server", type=server_entry, action="append", default=[])
    arguments = parser.parse_args()

    os.makedirs(arguments.folder, mode=0o700, exist_ok=True)
    bridge = Bridge(os.path.realpath(arguments.folder), dict(arguments.server))

    def stop(_signal, _frame):
        bridge.unmap_all()
        sys.exit(0)

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    listener = socket.create_server(arguments.listen)
    print(f"listening on {arguments.listen[0]}:{arguments.listen[1]}", flush=True)
    try:
        serve(bridge, listener)
    finally:
        bridge.unmap_all()


if __name__ == "__main__":
    main()
