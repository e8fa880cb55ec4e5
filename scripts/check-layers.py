#!/usr/bin/env python3
"""Checks every #include of the project's C and C++ files against the table of layers in
docs/architecture.md (Layer | Folder | May include), which stays the one statement of the rule.

A row's "May include" cell is read as follows. Its first clause (up to the first ";") lists what
the layer may include: folders and files in backticks, and names of libraries ("the C++ standard
library", "Windows headers", "POSIX", "PCRE2"...); "anything" allows everything. A clause that
starts with "never" lists what it must not include, even where "anything" is allowed. Other
clauses, and text in parentheses, are remarks. A layer may also include what the layers it
names may include, and always its own files.

A quoted include is looked up beside the including file, then from the project's root; one that
names no file of the project (a generated header such as version.h) is judged by its path. A
system header (<...>) must belong to a library that the layer may include. Files in no layer
may include nothing.

    scripts/check-layers.py [--document FILE] [--root DIR] [FILE...]
        FILE...  check these files instead of every C and C++ file of the project
    scripts/check-layers.py --self-test
        checks the check on a table and includes of its own
Exits 1 naming each file, line and include that its layer may not include; 2 when the table
cannot be read.
"""
import argparse
import os
import re
import subprocess
import sys
from pathlib import Path, PurePosixPath

ROOT = Path(__file__).resolve().parent.parent
SOURCE_SUFFIXES = (".c", ".cc", ".cpp", ".cxx", ".h", ".hh", ".hpp", ".hxx", ".inl", ".ipp")

# The headers of each library a row may name, as (exact names, folder prefixes).
CPP_STANDARD_LIBRARY = """
    algorithm any array atomic barrier bit bitset charconv chrono codecvt compare complex
    concepts condition_variable coroutine deque exception execution expected filesystem
    flat_map flat_set format forward_list fstream functional future generator
    initializer_list iomanip ios iosfwd iostream istream iterator latch limits list locale
    map mdspan memory memory_resource mutex new numbers numeric optional ostream print queue
    random ranges ratio regex scoped_allocator semaphore set shared_mutex source_location span
    spanstream sstream stack stacktrace stdexcept stop_token streambuf string string_view
    syncstream system_error thread tuple type_traits typeindex typeinfo unordered_map
    unordered_set utility valarray variant vector version
    cassert cctype cerrno cfenv cfloat cinttypes climits clocale cmath csetjmp csignal cstdarg
    cstddef cstdint cstdio cstdlib cstring ctime cuchar cwchar cwctype
""".split()
C_STANDARD_LIBRARY = """
    assert.h ctype.h errno.h fenv.h float.h inttypes.h limits.h locale.h math.h setjmp.h
    signal.h stdarg.h stdbool.h stddef.h stdint.h stdio.h stdlib.h string.h time.h uchar.h
    wchar.h wctype.h
""".split()
POSIX_HEADERS = C_STANDARD_LIBRARY + """
    aio.h cpio.h dirent.h dlfcn.h fcntl.h fnmatch.h glob.h grp.h iconv.h ifaddrs.h langinfo.h
    libgen.h monetary.h mqueue.h netdb.h nl_types.h poll.h pthread.h pwd.h regex.h sched.h
    search.h semaphore.h spawn.h strings.h syslog.h tar.h termios.h ulimit.h unistd.h utime.h
    utmpx.h wordexp.h
""".split()
WINDOWS_HEADERS = """
    accctrl.h aclapi.h bcrypt.h combaseapi.h commctrl.h commdlg.h dbghelp.h dwmapi.h imm.h
    initguid.h knownfolders.h lm.h mmsystem.h mscat.h ncrypt.h npapi.h objbase.h objidl.h
    ole2.h oleacc.h oleauto.h processthreadsapi.h propsys.h psapi.h richedit.h rpc.h sddl.h
    servprov.h shellapi.h shlobj.h shlwapi.h shobjidl.h softpub.h synchapi.h tlhelp32.h
    unknwn.h uxtheme.h winbase.h wincred.h wincrypt.h windef.h windows.h windowsx.h winerror.h
    wingdi.h winhttp.h wininet.h winioctl.h winnetwk.h winnls.h winreg.h winsock2.h winternl.h
    wintrust.h winuser.h winver.h ws2tcpip.h
""".split()

LIBRARIES = {
    "the C++ standard library": (CPP_STANDARD_LIBRARY, ()),
    "Windows headers": (WINDOWS_HEADERS, ()),
    "POSIX": (POSIX_HEADERS, ("sys/", "arpa/", "netinet/", "net/")),
    "libmicrohttpd": (["microhttpd.h"], ()),
    "libldap": (["ldap.h", "lber.h"], ()),
    "toml++": ([], ("toml++/",)),
    "CLI11": ([], ("CLI/",)),
    "PCRE2": (["pcre2.h"], ()),
    "GoogleTest": ([], ("gtest/", "gmock/")),
}
ANYTHING = "anything"

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


class TableError(Exception):
    pass


class Layer:
    def __init__(self, name, folders):
        self.name = name
        self.folders = folders  # "mount/", ...
        self.paths = set()  # backticked folders and files it may include
        self.libraries = set()  # keys of LIBRARIES, or ANYTHING
        self.never = set()  # backticked folders and files it must not include

    def __str__(self):
        return ", ".join(self.folders)


def cells(line):
    return [cell.strip() for cell in line.strip().strip("|").split("|")]


def without_remarks(text):
    """The text without its parenthesised remarks."""
    previous = None
    while previous != text:
        previous = text
        text = re.sub(r"\([^()]*\)", "", text)
    return text


def items(clause):
    """The things a clause lists: split at commas, "and" and "or", without a closing "only"."""
    found = []
    for part in re.split(r",|\band\b|\bor\b", clause):
        part = re.sub(r"\s+", " ", part).strip()
        part = re.sub(r" only$", "", part)
        if part:
            found.append(part)
    return found


def read_table(document):
    """The layers of the table under the heading row "| Layer | Folder | May include |"."""
    lines = document.read_text(encoding="utf-8").splitlines()
    start = next((i for i, line in enumerate(lines)
                  if line.startswith("|") and cells(line) == ["Layer", "Folder", "May include"]),
                 None)
    if start is None:
        raise TableError(f"{document}: no table with the columns Layer | Folder | May include")
    layers = []
    for number, line in enumerate(lines[start + 2:], start + 3):
        if not line.startswith("|"):
            break
        row = cells(line)
        if len(row) != 3:
            raise TableError(f"{document}:{number}: a row of the table of layers without three "
                             "cells")
        folders = re.findall(r"`([^`]+)`", row[1])
        if not folders or any(not folder.endswith("/") for folder in folders):
            raise TableError(f"{document}:{number}: the Folder cell names no folder (`name/`)")
        layer = Layer(row[0], folders)
        clauses = [clause.strip() for clause in without_remarks(row[2]).split(";")]
        for index, clause in enumerate(clauses):
            if clause.startswith("never "):
                layer.never.update(re.findall(r"`([^`]+)`", clause))
                continue
            if index > 0:
                continue  # a remark
            for item in items(clause):
                paths = re.findall(r"`([^`]+)`", item)
                if paths:
                    layer.paths.update(paths)
                elif item.startswith(ANYTHING):
                    layer.libraries.add(ANYTHING)
                elif item in LIBRARIES:
                    layer.libraries.add(item)
                else:
                    raise TableError(
                        f"{document}:{number}: the row of {layer} names \"{item}\", which this "
                        f"check does not know: name a folder or file in backticks, one of "
                        f"{', '.join(LIBRARIES)}, or \"anything\" (or teach "
                        f"scripts/check-layers.py the library's headers)")
        layers.append(layer)
    if not layers:
        raise TableError(f"{document}: the table of layers has no rows")
    return layers


def layer_of(path, layers):
    """The layer whose folder holds `path` (the longest such folder), or None."""
    best = None
    for layer in layers:
        for folder in layer.folders:
            if path.startswith(folder) and (best is None or len(folder) > len(best[1])):
                best = (layer, folder)
    return best[0] if best else None


def close_over(layers):
    """Adds to each layer what the layers it names may include, and checks its prohibitions."""
    by_folder = {folder: layer for layer in layers for folder in layer.folders}
    for layer in layers:
        seen = set()
        pending = [layer]
        while pending:
            current = pending.pop()
            if id(current) in seen:
                continue
            seen.add(id(current))
            layer.paths |= current.paths
            layer.libraries |= current.libraries
            pending.extend(by_folder[path] for path in current.paths if path in by_folder)
        for path in layer.never & layer.paths:
            raise TableError(f"the table lets {layer} include `{path}` through the layers it may "
                             "include, and says it never does")


def path_fault(layer, path, layers):
    """Why `layer` may not include the project's file `path`, or None when it may."""
    for never in sorted(layer.never):
        if path == never or (never.endswith("/") and path.startswith(never)):
            return f"{layer} never includes `{never}`"
    if ANYTHING in layer.libraries or path in layer.paths:
        return None
    target = layer_of(path, layers)
    if target is layer or (target is not None and
                           any(folder in layer.paths for folder in target.folders)):
        return None
    return f"{layer} may include {allowed_text(layer)}"


def library_of(header):
    for name, (names, prefixes) in LIBRARIES.items():
        if header in names or header.startswith(prefixes):
            return name
    return None


def allowed_text(layer):
    named = sorted(f"`{path}`" for path in layer.paths) + sorted(layer.libraries)
    return ", ".join(named) if named else "nothing"


def check_file(path, root, layers):
    """(line number, include, why) for each include of `path` that its layer may not include."""
    relative = PurePosixPath(path.relative_to(root).as_posix())
    layer = layer_of(str(relative), layers)
    faults = []
    text = path.read_text(encoding="utf-8", errors="replace")
    for number, line in enumerate(text.splitlines(), 1):
        match = INCLUDE.match(line)
        if not match:
            continue
        bracket, name = match.groups()
        shown = f"<{name}>" if bracket == "<" else f'"{name}"'
        if layer is None:
            faults.append((number, shown, "the file lies in no layer of the table"))
            continue
        beside = os.path.normpath(str(relative.parent / name))
        if bracket == '"' and (root / beside).is_file():
            target = beside
        elif (root / name).is_file() and (bracket == '"' or "/" in name):
            target = os.path.normpath(name)
        elif bracket == '"':
            target = os.path.normpath(name)  # generated: judged by its path
        else:
            target = None
        if target is not None:
            why = path_fault(layer, target, layers)
            if why:
                faults.append((number, shown, why))
            continue
        library = library_of(name)
        if ANYTHING in layer.libraries or library in layer.libraries:
            continue
        source = f"from {library}" if library else "from no library that the check knows"
        faults.append((number, shown, f"{source}; {layer} may include {allowed_text(layer)}"))
    return faults


# The check's own test: a small table with each kind of entry, and includes that it must allow
# (False) or refuse (True), one file each.
SELF_TEST_TABLE = """\
| Layer | Folder | May include |
|---|---|---|
| core | `core/` | the C++ standard library only |
| platform | `platform/` | `core/` (its types) and Windows headers |
| plain | `ui/` | `core/`, `version.h` |
| platform ui | `ui/win32/` | `ui/`, `platform/` |
| support | `support/` | `platform/`, `ui/ids.h` (by ID) and GoogleTest |
| service | `service/` | `core/`, POSIX; never `platform/` or `ui/` |
| tools | `tests/` | anything above; a remark that names `elsewhere/` |
| demo | `demo/` | anything above; never `tests/` |
"""
SELF_TEST_CASES = [
    ("core/", "<string>", False),
    ("core/", '"near.h"', False),  # beside the file
    ("core/", "<windows.h>", True),
    ("core/", '"version.h"', True),
    ("core/", "<somelib.h>", True),  # a library the table does not name
    ("platform/", '"core/text.h"', False),
    ("platform/", "<windows.h>", False),
    ("platform/", '"ui/form.h"', True),
    ("ui/", '"version.h"', False),
    ("ui/", "<vector>", False),  # what core/ may include
    ("ui/", '"ui/win32/window.h"', True),  # a folder inside is another layer
    ("ui/", '"platform/owners.h"', True),
    ("ui/win32/", '"ui/form.h"', False),
    ("ui/win32/", '"core/text.h"', False),  # through ui/
    ("ui/win32/", "<windows.h>", False),  # through platform/
    ("ui/win32/", '"elsewhere/x.h"', True),
    ("support/", '"ui/ids.h"', False),
    ("support/", '"ui/form.h"', True),  # only the one file of ui/
    ("support/", "<gtest/gtest.h>", False),
    ("service/", "<sys/socket.h>", False),
    ("service/", '"core/text.h"', False),
    ("service/", '"platform/owners.h"', True),
    ("service/", "<windows.h>", True),
    ("tests/", '"demo/walk.h"', False),
    ("tests/", "<somelib.h>", False),
    ("demo/", '"service/x.h"', False),
    ("demo/", '"tests/fixture.h"', True),
    ("", '"core/text.h"', True),  # a file in no layer
]


def self_test():
    import tempfile
    with tempfile.TemporaryDirectory() as directory:
        root = Path(directory)
        document = root / "layers.md"
        document.write_text(SELF_TEST_TABLE, encoding="utf-8")
        layers = read_table(document)
        close_over(layers)
        (root / "core").mkdir()
        (root / "core" / "near.h").write_text("", encoding="utf-8")
        failures = 0
        for number, (folder, include, refused) in enumerate(SELF_TEST_CASES):
            path = root / folder / f"case{number}.cpp"
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_text(f"// a case\n#include {include}\n", encoding="utf-8")
            faults = check_file(path, root, layers)
            if bool(faults) != refused or any(line != 2 for line, _, _ in faults):
                print(f"self-test: {folder or './'} #include {include}: expected "
                      f"{'a refusal' if refused else 'no refusal'}, got {faults}", file=sys.stderr)
                failures += 1
        # A table this check cannot read fully, or that contradicts itself, is an error too.
        for row, expected in [("| x | `x/` | `core/` and Qt |", "names \"Qt\""),
                              ("| x | `x/` | `platform/`; never `core/` |", "says it never")]:
            document.write_text(SELF_TEST_TABLE + row + "\n", encoding="utf-8")
            try:
                close_over(read_table(document))
                error = "no error"
            except TableError as raised:
                error = str(raised)
            if expected not in error:
                print(f"self-test: the row {row}: expected an error that {expected}, got "
                      f"{error}", file=sys.stderr)
                failures += 1
    print(f"check-layers self-test: {len(SELF_TEST_CASES) - failures} of "
          f"{len(SELF_TEST_CASES)} cases as expected")
    return 1 if failures else 0


def project_files(root):
    listed = subprocess.run(["git", "ls-files", "-co", "--exclude-standard"], cwd=root,
                            check=True, capture_output=True, text=True).stdout.splitlines()
    return [root / name for name in listed
            if name.endswith(SOURCE_SUFFIXES) or name.endswith(tuple(
                suffix + ".in" for suffix in SOURCE_SUFFIXES))]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--document", type=Path, default=ROOT / "docs" / "architecture.md")
    parser.add_argument("--root", type=Path, default=ROOT)
    parser.add_argument("--self-test", action="store_true",
                        help="check the check itself against a table and includes of its own")
    parser.add_argument("files", nargs="*", type=Path)
    arguments = parser.parse_args()
    if arguments.self_test:
        return self_test()
    root = arguments.root.resolve()
    try:
        layers = read_table(arguments.document)
        close_over(layers)
    except TableError as error:
        print(f"check-layers: {error}", file=sys.stderr)
        return 2
    files = [file.resolve() for file in arguments.files] or project_files(root)
    faults = 0
    for path in sorted(files):
        for number, include, why in check_file(path, root, layers):
            print(f"{path.relative_to(root)}:{number}: includes {include}: {why}")
            faults += 1
    if faults:
        print(f"check-layers: {faults} include(s) that docs/architecture.md's table of layers "
              "does not allow", file=sys.stderr)
        return 1
    print(f"check-layers: {len(files)} files, every include as the table of layers allows")
    return 0


if __name__ == "__main__":
    sys.exit(main())
