"""The Debian package as a user gets it: built by scripts/package.sh,
unpacked into a folder of its own (never installed on this machine), and
checked from there: its programs, its desktop files and manual pages, what
lintian says of it, and an installed visualiser on a private X server."""

import argparse
import gzip
import os
import re
import shutil
import subprocess
import sys

# Imported from the source tree, which must stay free of bytecode caches.
sys.dont_write_bytecode = True
TESTS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
sys.path.insert(0, os.path.join(TESTS, "e2e"))
sys.path.insert(0, TESTS)
import e2e_test  # noqa: E402
import program_expectations  # noqa: E402
import xharness as xh  # noqa: E402
from xharness import check  # noqa: E402

SOURCE_ROOT = os.path.abspath(os.path.join(TESTS, ".."))
ICON_SIZES = (48, 128, 256)


class Package:
    """The package made in `work` and what it unpacks to."""

    def __init__(self, work):
        self.work = os.path.abspath(work)
        self.build = os.path.join(self.work, "build")
        self.root = os.path.join(self.work, "root")
        self.usr = os.path.join(self.root, "usr")
        self.bin = os.path.join(self.usr, "bin")

    @property
    def deb(self):
        with open(os.path.join(self.work, "deb")) as f:
            return f.read().strip()

    def field(self, name):
        return run(["dpkg-deb", "--field", self.deb, name]).stdout.strip()

    def programs(self):
        """The visualisers the package was built with."""
        with open(os.path.join(self.build, "programs.txt")) as f:
            return f.read().split()

    def share(self, *parts):
        return os.path.join(self.usr, "share", *parts)

    def icon(self, program, size):
        return self.share("icons", "hicolor", "%dx%d" % (size, size), "apps",
                          xh.COMMAND_PREFIX + program + ".png")

    def man_source(self, name):
        with gzip.open(self.share("man", "man1", name + ".1.gz"), "rt") as f:
            return f.read()


def run(argv, **kwargs):
    return subprocess.run(argv, capture_output=True, text=True, timeout=600, **kwargs)


def build(package):
    """Makes the package and unpacks it; what the other cases check."""
    result = subprocess.run([os.path.join(SOURCE_ROOT, "scripts", "package.sh")],
                            env=dict(os.environ, BUILD_DIR=package.build), stdout=subprocess.PIPE,
                            text=True, timeout=1800)
    check(result.returncode == 0, "scripts/package.sh failed")
    deb = result.stdout.strip().splitlines()[-1]
    version = run(["dpkg-deb", "--field", deb, "Version"]).stdout.strip()
    architecture = run(["dpkg-deb", "--field", deb, "Architecture"]).stdout.strip()
    check(os.path.basename(deb) == "lumivis_%s_%s.deb" % (version, architecture),
          "the package is called %s" % os.path.basename(deb))
    shutil.rmtree(package.root, ignore_errors=True)
    result = run(["dpkg-deb", "--extract", deb, package.root])
    check(result.returncode == 0, "dpkg-deb --extract failed: " + result.stderr)
    with open(os.path.join(package.work, "deb"), "w") as f:
        f.write(deb + "\n")
    print("%s: %d bytes" % (deb, os.path.getsize(deb)))


def unescape_man(source):
    return source.replace("\\-", "-")


def case_commands(package):
    """Every installed program answers --help and --version, and the manual
    pages say what --help says."""
    commands = ["lumigrab"] + [xh.COMMAND_PREFIX + p for p in package.programs()]
    check(sorted(os.listdir(package.bin)) == sorted(commands),
          "usr/bin holds %s, expected %s" % (sorted(os.listdir(package.bin)), sorted(commands)))
    version = package.field("Version")
    helps = {}
    for command in commands:
        path = os.path.join(package.bin, command)
        result = run([path, "--version"])
        check(result.returncode == 0 and result.stdout == "%s %s\n" % (command, version),
              "%s --version: status %d, %r" % (command, result.returncode, result.stdout))
        result = run([path, "--help"])
        check(result.returncode == 0 and result.stdout.startswith("Usage: %s " % command),
              "%s --help: status %d, %r" % (command, result.returncode, result.stdout[:200]))
        helps[command] = result.stdout

    # Each visualiser tells what its own space bar does, and nothing where
    # it does nothing.
    for program in package.programs():
        text = helps[xh.COMMAND_PREFIX + program]
        spaces = re.findall(r"^  space +(.*)$", text, re.MULTILINE)
        space = program_expectations.about(program).get("Space")
        expected = [space] if space else []
        check(spaces == expected,
              "%s --help says space %s, expected %s" % (program, spaces, expected))

    lumigrab_page = unescape_man(package.man_source("lumigrab"))
    for option in sorted(set(re.findall(r"--[a-z]+", helps["lumigrab"]))):
        check(option in lumigrab_page, "lumigrab(1) does not describe %s" % option)
    visualisers_page = unescape_man(package.man_source("lumivis"))
    for command, text in helps.items():
        space = re.search(r"^  space +(.*)$", text, re.MULTILINE)
        if space:
            check(space.group(1) in visualisers_page,
                  "lumivis(1) does not say that space %s in %s" % (space.group(1), command))
        check(command == "lumigrab" or command in visualisers_page,
              "lumivis(1) does not name %s" % command)


def case_files(package):
    """The menu entries, the metainfo and the manual pages are valid, and
    each names what the package holds."""
    applications = package.share("applications")
    for program in package.programs():
        command = xh.COMMAND_PREFIX + program
        desktop = os.path.join(applications, command + ".desktop")
        result = run(["desktop-file-validate", desktop])
        check(result.returncode == 0 and not result.stdout.strip(),
              "desktop-file-validate %s: %s" % (desktop, result.stdout + result.stderr))
        with open(desktop) as f:
            entry = dict(line.rstrip("\n").split("=", 1) for line in f if "=" in line)
        for key in ("Exec", "Icon", "StartupWMClass"):
            check(entry.get(key) == command, "%s: %s is %r" % (desktop, key, entry.get(key)))
        check(entry.get("Categories") == "AudioVideo;Video;",
              "%s: Categories is %r" % (desktop, entry.get("Categories")))
        for size in ICON_SIZES:
            icon = package.icon(program, size)
            check(os.path.exists(icon), "no %d pixel icon %s" % (size, icon))
            geometry = run(["identify", "-format", "%wx%h", icon]).stdout
            check(geometry == "%dx%d" % (size, size), "%s is %s" % (icon, geometry))

    metainfo_dir = package.share("metainfo")
    metainfos = os.listdir(metainfo_dir)
    check(len(metainfos) == 1, "metainfo files: %s" % metainfos)
    metainfo = os.path.join(metainfo_dir, metainfos[0])
    result = run(["appstreamcli", "validate", "--no-net", metainfo])
    check(result.returncode == 0, "appstreamcli validate: " + result.stdout + result.stderr)
    with open(metainfo) as f:
        launchables = re.findall(r'<launchable type="desktop-id">([^<]+)<', f.read())
    check(sorted(launchables) == sorted(os.listdir(applications)),
          "the metainfo launches %s" % launchables)

    man1 = package.share("man", "man1")
    for name in sorted(os.listdir(man1)):
        path = os.path.join(man1, name)
        check(os.path.exists(path), "%s leads nowhere" % path)
        with gzip.open(path) as f:
            result = subprocess.run(["groff", "-man", "-ww", "-z"], input=f.read(),
                                    capture_output=True, timeout=60)
        check(result.returncode == 0 and not result.stderr,
              "groff warns about %s: %s" % (name, result.stderr.decode()))
    pages = {name[:-len(".1.gz")] for name in os.listdir(man1)}
    check(set(os.listdir(package.bin)) <= pages, "commands without a manual page: %s" %
          (set(os.listdir(package.bin)) - pages))


def case_lintian(package):
    """No lintian errors; warnings and notes are printed for the record."""
    result = run(["lintian", "--fail-on", "error", "--display-info", "--tag-display-limit", "0",
                  package.deb])
    print(result.stdout + result.stderr)
    check(result.returncode == 0, "lintian found errors")


def agent_pid(session):
    """The running agent's process number from its lock file, or None."""
    try:
        with open(os.path.join(session.runtime, "lumigrab.lock")) as f:
            return int(f.read().split()[0])
    except (OSError, ValueError, IndexError):
        return None


class InstalledSession(xh.Session):
    """A session whose PATH leads to the unpacked package's programs first."""

    def __init__(self, name, xprobe, bindir):
        self.installed_bin = bindir
        super().__init__(name, xprobe, agent_on_path=False)

    def env(self, leak_check=True):
        env = super().env(leak_check)
        env["PATH"] = self.installed_bin + os.pathsep + env["PATH"]
        return env


def case_desktop_run(package, xprobe, keep):
    """An installed visualiser starts the installed agent through PATH and
    shows a moving picture, in a window that names its program and shows
    the installed icon."""
    program = package.programs()[0]
    session = InstalledSession("installed-" + program, xprobe, package.bin)
    ok = False
    try:
        session.move_pointer(0, 0)
        process = session.start([os.path.join(package.bin, xh.COMMAND_PREFIX + program)],
                                leak_check=False)
        window = e2e_test.full_screen_window(session)
        try:
            xh.check_window_identity(session, window, program, package.icon)
            agent = xh.wait_for(lambda: agent_pid(session), 30, "the agent's lock file")
            exe = os.readlink("/proc/%s/exe" % agent)
            check(exe == os.path.realpath(os.path.join(package.bin, "lumigrab")),
                  "the agent that runs is %s" % exe)
            e2e_test.check_real_agent_picture(session, process, window)
        finally:
            e2e_test.stop_real_agent(session)
        ok = True
    finally:
        session.close(keep=keep and not ok)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("case", choices=("build", "commands", "files", "lintian", "desktop-run"))
    parser.add_argument("--work", required=True, help="the folder of the package and its unpacking")
    parser.add_argument("--xprobe", help="the X probe, for desktop-run")
    parser.add_argument("--keep", action="store_true", help="keep the files of a failed run")
    args = parser.parse_args()
    package = Package(args.work)
    try:
        if args.case == "build":
            build(package)
        elif args.case == "commands":
            case_commands(package)
        elif args.case == "files":
            case_files(package)
        elif args.case == "lintian":
            case_lintian(package)
        else:
            case_desktop_run(package, args.xprobe, args.keep)
    except xh.TestFailure as failure:
        print("FAIL: %s" % failure, file=sys.stderr)
        sys.exit(1)
    print("ok: " + args.case)


if __name__ == "__main__":
    main()
