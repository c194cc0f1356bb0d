"""Release checks of the tools, from outside the source tree.

  release_check.py installed SOURCE_DIR BUILD_DIR
      installs the build into a scratch prefix, then with only the installed tools: init a
      manifest for a copy of the demo's files, build it without --stub (and with win64),
      verify, and preview it. Exits 77 (skipped) when the Windows stubs have not been built.
  release_check.py reproducible SOURCE_DIR BUILD_DIR STUB
      builds the same product from two copies at different paths with different file times,
      with SOURCE_DATE_EPOCH set: the installers must be byte-identical (and differ without
      it, so that the check can fail). Also checks that the built stubs carry no link time
      stamp and no build path."""
import os
import shutil
import struct
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import qvtest  # noqa: E402
from qvtest import SKIPPED, read_file, run, stop  # noqa: E402


def copy_demo_files(source, to, mtime):
    shutil.copytree(os.path.join(source, "demo", "files"), to)
    for name in os.listdir(to):
        os.utime(os.path.join(to, name), (mtime, mtime))


def check_installed(source, build):
    stubs = [os.path.join(source, "build", arch, "setup-stub.exe") for arch in ("win32", "win64")]
    if not all(os.path.exists(stub) for stub in stubs):
        print("skipped: build the win32 and win64 presets first (scripts/package does)")
        return SKIPPED
    with tempfile.TemporaryDirectory(prefix="qv-installed-") as work:
        prefix = os.path.join(work, "prefix")
        run(["cmake", "--install", build, "--prefix", prefix])
        for path in ["share/quorvane-setup/stubs/setup-stub-win32.exe",
                     "share/quorvane-setup/stubs/setup-stub-win64.exe",
                     "share/man/man1/setuppack.1", "share/man/man1/setupsim.1",
                     "share/doc/quorvane-setup/manifest.md",
                     "share/doc/quorvane-setup/packaging.md",
                     "share/doc/quorvane-setup/machine-files.md"]:
            if not os.path.exists(os.path.join(prefix, path)):
                stop(f"not installed: {path}")
        setuppack = os.path.join(prefix, "bin", "setuppack")
        setupsim = os.path.join(prefix, "bin", "setupsim")
        copy_demo_files(source, os.path.join(work, "product"), 1e9)
        run([setuppack, "init", "product", "-o", "manifest.toml"], cwd=work)
        run([setuppack, "build", "manifest.toml", "-o", "setup.exe"], cwd=work)
        run([setuppack, "build", "manifest.toml", "--stub", "win64", "-o", "setup64.exe"], cwd=work)
        for installer in ("setup.exe", "setup64.exe"):
            run([setuppack, "verify", installer], cwd=work)
        report = run([setupsim, "setup.exe", "--root", "root"], cwd=work).stdout
        installed = os.path.join(work, "root", "C", "Program Files", "VarnookSW", "QRVNE32")
        for name in os.listdir(os.path.join(work, "product")):
            if not os.path.exists(os.path.join(installed, name)):
                stop(f"preview did not install {name}:\n{report}")
    print("installed tools build, verify and preview the demo")
    return 0


def build_copy(setuppack, source, stub, folder, mtime, env):
    copy_demo_files(source, os.path.join(folder, "files"), mtime)
    run([setuppack, "init", os.path.join(folder, "files"), "-o", os.path.join(folder, "manifest.toml")])
    installer = os.path.join(folder, "setup.exe")
    args = [setuppack, "build", os.path.join(folder, "manifest.toml"), "--stub", stub, "-o", installer]
    if shutil.which("mformat"):  # and the diskette image, whose label and files carry dates
        args += ["--diskettes", os.path.join(folder, "disks")]
    run(args, env=env)
    outputs = [installer] + ([os.path.join(folder, "disks", "disk1.img")] if shutil.which("mformat") else [])
    return [read_file(path, "rb") for path in outputs]


def check_stub_is_reproducible(stub, source):
    with open(stub, "rb") as f:
        image = f.read()
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    stamp = struct.unpack_from("<I", image, pe + 8)[0]
    if stamp != 0:
        stop(f"{stub} has link time stamp {stamp:#x}")
    for leak in (source.encode(), os.path.dirname(source).encode()):
        if len(leak) > 4 and leak in image:
            stop(f"{stub} holds the build path {leak.decode()}")


def check_reproducible(source, build, stub):
    setuppack = os.path.join(build, "setuppack")
    epoch = dict(os.environ, SOURCE_DATE_EPOCH="1000000000")  # 2001-09-09
    with tempfile.TemporaryDirectory(prefix="qv-clone-a-") as a, \
            tempfile.TemporaryDirectory(prefix="qv-clone-bb-") as b:
        first = build_copy(setuppack, source, stub, a, 1.2e9, epoch)
        second = build_copy(setuppack, source, stub, b, 1.3e9, epoch)
        if first != second:
            stop("two copies built with SOURCE_DATE_EPOCH differ (installer or diskette)")
        unclamped = dict(os.environ)
        unclamped.pop("SOURCE_DATE_EPOCH", None)
        run([setuppack, "build", os.path.join(b, "manifest.toml"), "--stub", stub, "-o",
             os.path.join(b, "late.exe")], env=unclamped)
        with open(os.path.join(b, "late.exe"), "rb") as f:
            if f.read() == first[0]:
                stop("file dates do not reach the installer; the check proves nothing")
    for arch in ("win32", "win64"):
        real = os.path.join(source, "build", arch, "setup-stub.exe")
        if os.path.exists(real):
            check_stub_is_reproducible(real, source)
    print("two copies build byte-identical installers")
    return 0


def main():
    mode, source, build = sys.argv[1:4]
    if mode == "installed":
        return check_installed(source, build)
    return check_reproducible(source, build, sys.argv[4])


if __name__ == "__main__":
    sys.exit(qvtest.main(main))
