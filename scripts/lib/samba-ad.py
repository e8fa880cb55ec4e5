#!/usr/bin/python3
"""Samba's side of the throwaway Active Directory domain of scripts/lib/samba-ad.sh, through
Samba's own Python bindings (Debian's python3-samba, which only the system's Python has).

  samba-ad.py provision DOMAIN_DIR MEMBERS SERVICE_PASSWORD_FILE ADDRESS
      Provisions the domain CAMPUS (realm CAMPUS.EXAMPLE, domain controller dc1 on ADDRESS)
      in DOMAIN_DIR/dc, with every setting that keeps it on loopback, and adds, offline and in one
      transaction: OU=Services with the lookup service's account brisvane-lookup (its password
      the first line of SERVICE_PASSWORD_FILE), the members of MEMBERS (standins/directory/
      ad-members.tsv) and a share for each member that owns one, in DOMAIN_DIR/shares. Runs
      inside the domain's mount namespace, where DOMAIN_DIR is /run/samba.
  samba-ad.py probe ADDRESS SERVICE_PASSWORD_FILE CLIENT_DIR
      Exits 0 once the domain's SMB server lets the service account log on (to IPC$): the
      server, its authentication and winbindd all answer.

Passwords come from files and go to Samba in-process, never on a command line: the
administrator's is random and forgotten once provisioning is done.
"""

import csv
import os
import secrets
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.realpath(__file__)), "../../standins"))

REALM = "CAMPUS.EXAMPLE"
DOMAIN = "CAMPUS"
SERVICE_ACCOUNT = "brisvane-lookup"


def first_line(path):
    with open(path, encoding="utf-8") as file:
        return file.readline().rstrip("\n")


def read_members(path):
    """The members file's lines as dictionaries; comments and blank lines left out."""
    members = []
    with open(path, encoding="utf-8", newline="") as file:
        for row in csv.reader(file, delimiter="\t", quoting=csv.QUOTE_NONE):
            if not row or row[0].startswith("#"):
                continue
            name, password, state, home, share = row
            if state not in ("active", "disabled", "must-change"):
                raise ValueError(f"{path}: {name}: no state {state!r}")
            members.append(
                {"name": name, "password": password, "state": state, "home": home, "share": share}
            )
    return members


def provision_domain(domain_dir, address):
    from samba.netcmd.main import cmd_sambatool

    base = os.path.join(domain_dir, "base.conf")
    with open(base, "w", encoding="utf-8") as file:
        file.write("[global]\n")
    dc = os.path.join(domain_dir, "dc")
    options = {
        # Only this loopback address; never the machine's other interfaces or ::1.
        "interfaces": f"{address}/8",
        "bind interfaces only": "yes",
        # No forwarding of DNS queries to the machine's resolver, no NetBIOS (no broadcasts,
        # no port 137-139), no dynamic DNS updates and no WINS replication.
        "dns forwarder": "",
        "disable netbios": "yes",
        "smb ports": "445",
        "server services": "-dnsupdate -nbt -wrepl",
        "pid directory": f"{dc}/run",
        "ncalrpc dir": f"{dc}/ncalrpc",
        "ntp signd socket directory": f"{dc}/ntp",
        "log file": f"{dc}/log/samba.log",
    }
    arguments = [
        "provision", f"--configfile={base}", f"--targetdir={dc}", f"--realm={REALM}",
        f"--domain={DOMAIN}", "--server-role=dc", "--dns-backend=SAMBA_INTERNAL",
        "--host-name=dc1", f"--host-ip={address}",
        f"--adminpass={secrets.token_urlsafe(18)}-Aa1",
    ]
    arguments += [f"--option={name} = {value}" for name, value in options.items()]
    # The command's own parser, in this process: the password stays off every command line.
    status = cmd_sambatool()._run("samba-tool", "domain", *arguments)
    if status:
        raise RuntimeError(f"provisioning failed ({status})")
    return os.path.join(dc, "etc", "smb.conf")


def add_members(smb_conf, members, service_password):
    import ldb
    from samba.auth import system_session
    from samba.param import LoadParm
    from samba.samdb import SamDB

    parameters = LoadParm()
    parameters.load(smb_conf)
    samdb = SamDB(url=parameters.private_path("sam.ldb"), session_info=system_session(),
                  lp=parameters)
    base = str(samdb.domain_dn())
    samdb.transaction_start()
    try:
        samdb.add({"dn": f"OU=Services,{base}", "objectClass": "organizationalUnit"})
        samdb.newuser(SERVICE_ACCOUNT, service_password, userou="OU=Services",
                      useusernameascn=True)
        samdb.setexpiry(f"(sAMAccountName={SERVICE_ACCOUNT})", 0, no_expiry_req=True)
        for member in members:
            samdb.newuser(member["name"], member["password"], useusernameascn=True,
                          force_password_change_at_next_login_req=member["state"] == "must-change",
                          homedirectory=member["home"], homedrive="M:")
            found = f"(sAMAccountName={ldb.binary_encode(member['name'])})"
            if member["state"] != "must-change":
                samdb.setexpiry(found, 0, no_expiry_req=True)
            if member["state"] == "disabled":
                samdb.disable_account(found)
    except BaseException:
        samdb.transaction_cancel()
        raise
    samdb.transaction_commit()


def add_shares(smb_conf, members, shares_dir):
    """A share for each member that owns one, writable by that member alone, with Welcome.txt."""
    sections = []
    for member in members:
        share = member["share"]
        if share == "-":
            continue
        folder = os.path.join(shares_dir, share.rstrip("$"))
        os.makedirs(folder)
        # Files the member writes over SMB belong to the member's mapped Unix ID.
        os.chmod(folder, 0o777)
        with open(os.path.join(folder, "Welcome.txt"), "w", encoding="utf-8") as file:
            file.write(f"Hello {member['name']}, this is {member['home']}, served over SMB.\n")
        sections.append(f"\n[{share}]\n\tpath = {folder}\n"
                        f"\tvalid users = {DOMAIN}\\{member['name']}\n\tread only = no\n")
    with open(smb_conf, "a", encoding="utf-8") as file:
        file.writelines(sections)


def provision(domain_dir, members_file, password_file, address):
    members = read_members(members_file)
    smb_conf = provision_domain(domain_dir, address)
    add_members(smb_conf, members, first_line(password_file))
    add_shares(smb_conf, members, os.path.join(domain_dir, "shares"))


def probe(address, password_file, client_dir):
    import smb_bridge

    client = smb_bridge.SmbClient(client_dir)
    status = client.log_on(address, "IPC$", DOMAIN, SERVICE_ACCOUNT, first_line(password_file))
    return 0 if status is None else 1


def main(arguments):
    if len(arguments) == 5 and arguments[0] == "provision":
        provision(*arguments[1:])
        return 0
    if len(arguments) == 4 and arguments[0] == "probe":
        return probe(*arguments[1:])
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
