"""Tests of the release artefacts (started by tests/packaging/run.sh): the MSI, built by
packaging/build-msi.sh and installed and removed by Wine's msiexec; Authenticode signing by
scripts/sign.sh with a throwaway certificate; and the release folder of packaging/dist.sh.

Every Wine run shares one fresh prefix and one persistent wineserver (the Wine helper of the
end-to-end tests). The robocopy stand-in comes first on the search path, but no rm does: the rm
the tool finds is the one the package installed.
"""

import argparse
import datetime
import os
import re
import shutil
import signal
import subprocess
import sys
import time

import pefile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))

from e2e import (PKG, Failure, Suite, Wine, check, local_vfs, make_tree,  # noqa: E402
                 robocopy, saved_area, signed, windows_path)

UPGRADE_CODE = "{A34EBB88-F4A9-40A0-8A74-7ED89D41C103}"
INSTALL_FOLDER = "C:\\Program Files (x86)\\Brenthaul"
EVENT_SOURCE_KEY = "HKLM\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Brenthaul"
ENVIRONMENT_KEY = "HKLM\\System\\CurrentControlSet\\Control\\Session Manager\\Environment"
UNINSTALL_KEY = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"
DOWNGRADE_MESSAGE = ("A newer version of Brenthaul is already installed. To go back to this "
                     "version, uninstall Brenthaul first.")
INSTALLER_FAILED = 1603  # ERROR_INSTALL_FAILURE


def tool(*args, **kwargs):
    """Runs a Linux command; returns the completed process (text output)."""
    return subprocess.run(list(args), capture_output=True, text=True, timeout=120, **kwargs)


def git(*args):
    """What git prints about this checkout (whoever owns it), stripped; empty when it fails."""
    return tool("git", "-c", "safe.directory=" + ROOT, "-C", ROOT, *args).stdout.strip()


def project_version():
    return tool(os.path.join(ROOT, "packaging", "version.sh"), check=True).stdout.strip()


def codes(version, commit, content):
    out = tool("/usr/bin/python3", os.path.join(ROOT, "packaging", "codes.py"), version, commit,
               content, check=True).stdout.split()
    return "{%s}" % out[0], "{%s}" % out[1]


def sha256(path):
    return tool("sha256sum", path, check=True).stdout.split()[0]


def msi_table(msi, table):
    """The rows of `table`, each a list of strings (msiinfo export, without the 3 header lines)."""
    out = tool("msiinfo", "export", msi, table, check=True).stdout
    return [line.split("\t") for line in out.splitlines()[3:]]


def summary(msi):
    out = tool("msiinfo", "suminfo", msi, check=True).stdout
    return dict(line.split(": ", 1) for line in out.splitlines() if ": " in line)


def file_version(path):
    """FileVersion of the version resource's string table."""
    pe = pefile.PE(path)
    for info in getattr(pe, "FileInfo", []):
        for block in info:
            for table in getattr(block, "StringTable", []):
                value = table.entries.get(b"FileVersion")
                if value is not None:
                    return value.decode("utf-8")
    return None


class PackagingSuite(Suite):
    def __init__(self, wine, args):
        Suite.__init__(self, wine, args)
        self.version = project_version()
        self.path_before = None  # the system PATH before the first install
        self.exes = args.exes
        self.msi = {}  # version -> path of a package built from the release exes
        self.certificate = None

    # --- building -------------------------------------------------------------------------

    def build_msi(self, version, exe_folder, output, extra_env=None):
        env = dict(os.environ, **(extra_env or {}))
        built = tool(os.path.join(ROOT, "packaging", "build-msi.sh"), "--version", version,
                     exe_folder, output, env=env)
        check(built.returncode == 0, "build-msi %s failed: %s" % (version, built.stderr))
        return output

    def packages(self):
        """The project's version, an older and a newer one, all of the same exes."""
        major, minor = (int(part) for part in self.version.split(".")[:2])
        older = "%d.%d.0.0" % (major, minor - 1) if minor > 0 else "%d.0.0.0" % (major - 1)
        newer = "%d.%d.0.0" % (major, minor + 1)
        for version in (self.version, older, newer):
            path = os.path.join(self.wine.work, "Brenthaul-%s.msi" % version)
            self.msi[version] = self.build_msi(version, self.exes, path)
        self.older, self.newer = older, newer

    # --- Wine: msiexec and the registry ---------------------------------------------------

    def msiexec(self, *args):
        log = os.path.join(self.wine.work, "msiexec.log")
        if os.path.exists(log):
            os.remove(log)
        code, _, err = self.wine.run(["msiexec"] + list(args) + ["/l*v", windows_path(log)],
                                     timeout=120)
        text = ""
        if os.path.exists(log):
            with open(log, "rb") as stream:
                text = stream.read().decode("utf-8", "replace")
        return code, text

    def install(self, msi):
        code, log = self.msiexec("/i", windows_path(msi), "/qn", "/norestart")
        check(code == 0, "msiexec /i %s ended with %d:\n%s" % (os.path.basename(msi), code,
                                                              log[-3000:]))

    def uninstall(self, product_code):
        code, log = self.msiexec("/x", product_code, "/qn", "/norestart")
        check(code == 0, "msiexec /x %s ended with %d:\n%s" % (product_code, code, log[-3000:]))

    def reg_query(self, key, *options):
        """{value name: (type, data)} of `key`, or None when the key does not exist."""
        code, out, _ = self.wine.run(["reg", "query", key] + list(options))
        if code != 0:
            return None
        values = {}
        for line in out.decode("utf-8", "replace").splitlines():
            match = re.match(r"^    (.*?)    (REG_\w+)    (.*)$", line)
            if match:
                values[match.group(1)] = (match.group(2), match.group(3))
        return values

    def system_path(self):
        values = self.reg_query(ENVIRONMENT_KEY, "/v", "PATH")
        check(values is not None and "PATH" in values, "the system PATH cannot be read")
        return values["PATH"][1]

    def installed_products(self):
        """{ProductCode: DisplayVersion} of every installed Brenthaul (32-bit registry view)."""
        code, out, _ = self.wine.run(["reg", "query", UNINSTALL_KEY, "/s", "/reg:32"])
        check(code == 0, "the installed programs cannot be read")
        products, current = {}, None
        for line in out.decode("utf-8", "replace").splitlines():
            if line.startswith("HKEY_"):
                current = {"key": line.rsplit("\\", 1)[-1]}
            elif current is not None:
                match = re.match(r"^    (DisplayName|DisplayVersion)    REG_SZ    (.*)$", line)
                if match:
                    current[match.group(1)] = match.group(2)
                if current.get("DisplayName") == "Brenthaul" and "DisplayVersion" in current:
                    products[current["key"]] = current["DisplayVersion"]
        return products

    def install_folder(self):
        return os.path.join(self.wine.prefix, "drive_c", "Program Files (x86)", "Brenthaul")

    def check_installed(self, version):
        folder = self.install_folder()
        check(sorted(os.listdir(folder)) == ["Brenthaul.exe", "rm.exe"],
              "the install folder holds %s" % sorted(os.listdir(folder)))
        for exe in ("Brenthaul.exe", "rm.exe"):
            installed = os.path.join(folder, exe)
            check(sha256(installed) == sha256(os.path.join(self.exes, exe)),
                  "the installed %s is not the built one" % exe)
            check(file_version(installed) == self.version,
                  "%s has file version %r" % (exe, file_version(installed)))
        entries = self.system_path().split(";")
        check(entries.count(INSTALL_FOLDER + "\\") == 1 and entries[-1] == INSTALL_FOLDER + "\\",
              "the system PATH does not end with the install folder once: %r" % entries)
        source = self.reg_query(EVENT_SOURCE_KEY)
        check(source == {
            "EventMessageFile": ("REG_EXPAND_SZ", INSTALL_FOLDER + "\\Brenthaul.exe"),
            "TypesSupported": ("REG_DWORD", "0x7")}, "the event source is %r" % source)
        product_code = codes(version, "", "")[0]
        products = self.installed_products()
        check(products == {product_code: version}, "installed: %r" % products)

    def uninstall_everything(self):
        """Removes whatever an earlier test left installed, so a failure does not spread."""
        for product_code in self.installed_products():
            self.uninstall(product_code)

    def check_removed(self, path_before):
        check(not os.path.exists(self.install_folder()),
              "%s is still there" % self.install_folder())
        entries = [entry for entry in self.system_path().split(";") if entry]
        before = [entry for entry in path_before.split(";") if entry]
        check(entries == before, "the system PATH is %r, was %r" % (entries, before))
        check(self.reg_query(EVENT_SOURCE_KEY) is None, "the event source is still registered")
        check(self.installed_products() == {}, "still installed: %r" % self.installed_products())

    # --- the package ----------------------------------------------------------------------

    def test_package_properties(self):
        msi = self.msi[self.version]
        properties = dict(row[:2] for row in msi_table(msi, "Property"))
        product_code = codes(self.version, "", "")[0]
        for name, value in [("ProductName", "Brenthaul"), ("Manufacturer", "Brenthaul"),
                            ("ProductVersion", self.version), ("UpgradeCode", UPGRADE_CODE),
                            ("ProductCode", product_code), ("ALLUSERS", "1")]:
            check(properties.get(name) == value,
                  "Property %s is %r, expected %r" % (name, properties.get(name), value))
        # One ProductCode per version; the UpgradeCode ties the versions together.
        for version in (self.older, self.newer):
            other = dict(row[:2] for row in msi_table(self.msi[version], "Property"))
            check(other["UpgradeCode"] == UPGRADE_CODE, "%s: another UpgradeCode" % version)
            check(other["ProductCode"] not in (product_code, properties["ProductCode"]) and
                  other["ProductCode"] == codes(version, "", "")[0],
                  "%s: ProductCode %s" % (version, other["ProductCode"]))
        check(["SearchPath", "=-*PATH", "[~];[INSTALLDIR]", "Tool"] in
              msi_table(msi, "Environment"), "no PATH row: %r" % msi_table(msi, "Environment"))
        actions = {row[0] for row in msi_table(msi, "InstallExecuteSequence")}
        check({"WriteEnvironmentStrings", "RemoveEnvironmentStrings", "RemoveExistingProducts",
               "FindRelatedProducts"} <= actions, "actions: %s" % sorted(actions))
        conditions = msi_table(msi, "LaunchCondition")
        check(["NOT WIX_DOWNGRADE_DETECTED", DOWNGRADE_MESSAGE] in conditions,
              "launch conditions %r" % conditions)
        registry = {row[3]: row[4] for row in msi_table(msi, "Registry")}
        check(registry == {"EventMessageFile": "#%[#BrenthaulExe]", "TypesSupported": "#7"},
              "registry rows %r" % registry)
        files = sorted(row[2].split("|")[-1] for row in msi_table(msi, "File"))
        check(files == ["Brenthaul.exe", "rm.exe"], "files %r" % files)

    def test_package_code_and_times_come_from_the_commit(self):
        msi = self.msi[self.version]
        info = summary(msi)
        commit = git("rev-parse", "HEAD") or "no commit"
        content = tool("sh", "-c", 'cat "$1/Brenthaul.exe" "$1/rm.exe" | sha256sum', "sh",
                       self.exes, check=True).stdout.split()[0]
        package_code = codes(self.version, commit, content)[1]
        check(info.get("Revision number (UUID)") == package_code,
              "package code %r, expected %s" % (info.get("Revision number (UUID)"), package_code))
        epoch = git("log", "-1", "--format=%ct")
        if epoch:
            expected = datetime.datetime.fromtimestamp(int(epoch), datetime.timezone.utc)
            expected = expected.strftime("%a %b %e %H:%M:%S %Y")
            for field in ("Created", "Last saved"):
                check(info.get(field) == expected,
                      "%s %r, expected %r (the commit's time)" % (field, info.get(field), expected))

    def test_package_is_reproducible(self):
        # Another folder, another time zone, a second later: the same bytes.
        time.sleep(1)
        again = os.path.join(self.wine.scratch, "again", "Brenthaul.msi")
        self.build_msi(self.version, self.exes, again, {"TZ": "Asia/Tokyo"})
        check(sha256(again) == sha256(self.msi[self.version]), "a second build differs")
        # Other contents are another package: another package code, the same ProductCode.
        other_exes = os.path.join(self.wine.scratch, "other exes")
        os.makedirs(other_exes, exist_ok=True)
        for exe in ("Brenthaul.exe", "rm.exe"):
            shutil.copy(os.path.join(self.exes, exe), other_exes)
        with open(os.path.join(other_exes, "rm.exe"), "ab") as stream:
            stream.write(b"\0")
        other = self.build_msi(self.version, other_exes,
                               os.path.join(self.wine.scratch, "other.msi"))
        check(summary(other)["Revision number (UUID)"] !=
              summary(self.msi[self.version])["Revision number (UUID)"],
              "other contents kept the package code")

    # --- installing and removing ----------------------------------------------------------

    def test_quiet_install(self):
        self.uninstall_everything()
        self.path_before = self.system_path()
        self.install(self.msi[self.version])
        self.check_installed(self.version)

    def test_clean_step_uses_the_installed_rm(self):
        user = "installed"
        local = local_vfs(user) + "\\" + PKG
        saved = saved_area(user) + "\\" + PKG
        make_tree(os.path.join(self.wine.unix_local_vfs(user), PKG), {"new.txt": b"new"})
        saved_unix = os.path.join(self.wine.unix_saved_area(user), PKG)
        make_tree(saved_unix, {"stale folder/stale.txt": b"old"})
        os.chmod(os.path.join(saved_unix, "stale folder", "stale.txt"), 0o444)
        # The tool by its name alone, as a script would call it: both it and rm are found
        # through the PATH the package extended. The robocopy stand-in copies nothing here,
        # so whatever left the saved copy was removed by rm.
        code, out, err = self.wine.batch(
            ["Brenthaul /cleansave %s" % PKG, "echo status=%ERRORLEVEL%"], user=user,
            extra={"BRENTHAUL_E2E_ROBOCOPY_STATUS": "0"})
        check("status=0" in out, "the run printed %r, %r" % (out, err))
        check(self.wine.commands() == [robocopy(local, saved)],
              "commands %r" % self.wine.commands())
        check(not os.path.exists(saved_unix), "the saved copy was not removed: %r"
              % (os.listdir(saved_unix) if os.path.isdir(saved_unix) else saved_unix))

    def test_same_version_twice_leaves_one_copy(self):
        self.install(self.msi[self.version])
        self.check_installed(self.version)

    def test_quiet_uninstall(self):
        self.uninstall(codes(self.version, "", "")[0])
        self.check_removed(self.path_before)

    def test_major_upgrade_from_an_older_version(self):
        self.uninstall_everything()
        self.install(self.msi[self.older])
        check(self.installed_products() == {codes(self.older, "", "")[0]: self.older},
              "after installing %s: %r" % (self.older, self.installed_products()))
        self.install(self.msi[self.version])
        self.check_installed(self.version)

    def test_downgrade_is_refused(self):
        code, log = self.msiexec("/i", windows_path(self.msi[self.older]), "/qn", "/norestart")
        check(code == INSTALLER_FAILED % 256, "installing %s over %s ended with %d"
              % (self.older, self.version, code))
        check(re.search(r"WIX_DOWNGRADE_DETECTED = \{", log), "no newer version detected:\n%s"
              % log[-2000:])
        self.check_installed(self.version)
        self.uninstall(codes(self.version, "", "")[0])
        self.check_removed(self.path_before)

    # --- signing --------------------------------------------------------------------------

    def make_certificate(self):
        """A throwaway code-signing certificate: PEM files, and a PKCS#12 with a password."""
        folder = os.path.join(self.wine.work, "certificate")
        os.makedirs(folder, exist_ok=True)
        key, cert = os.path.join(folder, "key.pem"), os.path.join(folder, "cert.pem")
        made = tool("openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                    "-subj", "/CN=Brenthaul test signer", "-keyout", key, "-out", cert,
                    "-addext", "extendedKeyUsage=codeSigning",
                    "-addext", "keyUsage=digitalSignature")
        check(made.returncode == 0, "openssl req: %s" % made.stderr)
        password = os.path.join(folder, "password")
        with open(password, "w") as stream:
            stream.write("a throwaway password\n")
        pkcs12 = os.path.join(folder, "cert.p12")
        made = tool("openssl", "pkcs12", "-export", "-in", cert, "-inkey", key, "-out", pkcs12,
                    "-passout", "file:" + password)
        check(made.returncode == 0, "openssl pkcs12: %s" % made.stderr)
        self.certificate = {"cert": cert, "key": key, "pkcs12": pkcs12, "password": password}

    def sign(self, files, pem=False):
        env = {key: value for key, value in os.environ.items()
               if not key.startswith("BRENTHAUL_SIGN_")}
        if pem:
            env.update(BRENTHAUL_SIGN_CERT=self.certificate["cert"],
                       BRENTHAUL_SIGN_KEY=self.certificate["key"])
        else:
            env.update(BRENTHAUL_SIGN_PKCS12=self.certificate["pkcs12"],
                       BRENTHAUL_SIGN_PASSWORD_FILE=self.certificate["password"])
        return tool(os.path.join(ROOT, "scripts", "sign.sh"), *files, env=env)

    def verify(self, path):
        result = tool("osslsigncode", "verify", "-CAfile", self.certificate["cert"], "-in", path)
        return result.returncode == 0 and "Signature verification: ok" in result.stdout

    def signed_copies(self):
        # A folder named after the preset, so the exe inspection knows the machine type.
        folder = os.path.join(self.wine.work, "signed", "windows-x86")
        os.makedirs(folder, exist_ok=True)
        for exe in ("Brenthaul.exe", "rm.exe"):
            shutil.copy(os.path.join(self.exes, exe), folder)
        return folder

    def test_signed_exes_verify_and_pass_the_inspection(self):
        self.make_certificate()
        folder = self.signed_copies()
        exes = [os.path.join(folder, exe) for exe in ("Brenthaul.exe", "rm.exe")]
        signing = self.sign(exes)
        check(signing.returncode == 0, "sign.sh: %s" % signing.stderr)
        for exe in exes:
            check(self.verify(exe), "%s does not verify" % exe)
            # Without its signature, a signed exe is the reproducible build again, byte for byte:
            # how anyone checks a signed release against the sources.
            unsigned = exe + ".unsigned"
            removed = tool("osslsigncode", "remove-signature", "-in", exe, "-out", unsigned)
            check(removed.returncode == 0 and
                  sha256(unsigned) == sha256(os.path.join(self.exes, os.path.basename(exe))),
                  "%s without its signature is not the built exe" % exe)
            os.remove(unsigned)
        inspected = tool("/usr/bin/python3", os.path.join(ROOT, "tests", "pe", "check_exes.py"),
                         *exes)
        check(inspected.returncode == 0, "the signed exes fail the inspection:\n%s"
              % "\n".join(line for line in inspected.stdout.splitlines()
                          if line.startswith("FAIL")))
        # The same with a PEM certificate and key.
        pem = os.path.join(self.wine.scratch, "pem.exe")
        shutil.copy(os.path.join(self.exes, "Brenthaul.exe"), pem)
        signing = self.sign([pem], pem=True)
        check(signing.returncode == 0 and self.verify(pem), "PEM signing: %s" % signing.stderr)

    def test_signed_exe_runs_under_wine(self):
        signed_exe = os.path.join(self.wine.work, "signed", "windows-x86", "Brenthaul.exe")
        self.wine.use_exe(signed_exe, "signed")
        code, out, _ = self.wine.brenthaul([])
        check(signed(code) == -1 and out.startswith(b"\r\nBrenthaul:  Tool"),
              "status %d, output %r" % (signed(code), out[:80]))
        user = "signed"
        make_tree(os.path.join(self.wine.unix_local_vfs(user), PKG), {"a.txt": b"a"})
        code, _, err = self.wine.brenthaul(["/save", PKG], user=user)
        local, saved = local_vfs(user) + "\\" + PKG, saved_area(user) + "\\" + PKG
        check(code == 0 and self.wine.commands() == [robocopy(local, saved)],
              "/save: status %d, commands %r, %r" % (signed(code), self.wine.commands(), err))

    def test_signed_package_installs(self):
        folder = os.path.join(self.wine.work, "signed", "windows-x86")
        msi = self.build_msi(self.version, folder, os.path.join(folder, "Brenthaul.msi"))
        signing = self.sign([msi])
        check(signing.returncode == 0 and self.verify(msi), "signing the MSI: %s"
              % signing.stderr)
        self.uninstall_everything()
        path_before = self.system_path()
        self.install(msi)
        installed = os.path.join(self.install_folder(), "Brenthaul.exe")
        check(self.verify(installed), "the installed exe is not the signed one")
        self.uninstall(codes(self.version, "", "")[0])
        self.check_removed(path_before)

    def test_signing_refuses_without_a_certificate(self):
        copy = os.path.join(self.wine.scratch, "unsigned.exe")
        shutil.copy(os.path.join(self.exes, "Brenthaul.exe"), copy)
        env = {key: value for key, value in os.environ.items()
               if not key.startswith("BRENTHAUL_SIGN_")}
        result = tool(os.path.join(ROOT, "scripts", "sign.sh"), copy, env=env)
        check(result.returncode != 0 and "no certificate" in result.stderr,
              "status %d: %s" % (result.returncode, result.stderr))
        # A wrong password fails and leaves the file as it was.
        with open(os.path.join(self.wine.scratch, "wrong"), "w") as stream:
            stream.write("not the password\n")
        env.update(BRENTHAUL_SIGN_PKCS12=self.certificate["pkcs12"],
                   BRENTHAUL_SIGN_PASSWORD_FILE=os.path.join(self.wine.scratch, "wrong"))
        result = tool(os.path.join(ROOT, "scripts", "sign.sh"), copy, env=env)
        check(result.returncode != 0, "a wrong password signed")
        check(sha256(copy) == sha256(os.path.join(self.exes, "Brenthaul.exe")),
              "a failed signing changed the file")

    # --- the release folder ---------------------------------------------------------------

    def dist(self, folder, signing):
        env = {key: value for key, value in os.environ.items()
               if not key.startswith("BRENTHAUL_SIGN_")}
        if signing:
            env.update(BRENTHAUL_SIGN_PKCS12=self.certificate["pkcs12"],
                       BRENTHAUL_SIGN_PASSWORD_FILE=self.certificate["password"])
        made = tool(os.path.join(ROOT, "packaging", "dist.sh"), folder, env=env)
        check(made.returncode == 0, "dist.sh: %s" % made.stderr)
        names = ["Brenthaul.exe", "rm.exe", "Brenthaul-%s.msi" % self.version]
        check(sorted(os.listdir(folder)) == sorted(names + ["SHA256SUMS"]),
              "dist holds %s" % sorted(os.listdir(folder)))
        checked = tool("sha256sum", "-c", "SHA256SUMS", cwd=folder)
        check(checked.returncode == 0 and checked.stdout.count(": OK") == 3,
              "sha256sum -c: %s %s" % (checked.stdout, checked.stderr))
        return [os.path.join(folder, name) for name in names]

    def test_release_folder(self):
        unsigned = self.dist(os.path.join(self.wine.scratch, "dist"), signing=False)
        for exe in ("Brenthaul.exe", "rm.exe"):
            check(sha256(os.path.join(self.wine.scratch, "dist", exe)) ==
                  sha256(os.path.join(self.exes, exe)), "dist's %s is not the release exe" % exe)
        check(sha256(unsigned[2]) == sha256(self.msi[self.version]),
              "dist's package is not the one build-msi makes")
        for path in unsigned:
            check(not self.verify(path), "%s is signed without a certificate" % path)
        for path in self.dist(os.path.join(self.wine.scratch, "signed dist"), signing=True):
            check(self.verify(path), "%s is not signed" % path)

    def run_all(self):
        self.test("packages build", self.packages)
        if self.failed:
            return
        for name in ["package_properties", "package_code_and_times_come_from_the_commit",
                     "package_is_reproducible", "quiet_install",
                     "clean_step_uses_the_installed_rm", "same_version_twice_leaves_one_copy",
                     "quiet_uninstall", "major_upgrade_from_an_older_version",
                     "downgrade_is_refused", "signed_exes_verify_and_pass_the_inspection",
                     "signed_exe_runs_under_wine", "signed_package_installs",
                     "signing_refuses_without_a_certificate", "release_folder"]:
            self.test(name.replace("_", " "), getattr(self, "test_" + name))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exes", required=True, help="the folder of the release exes")
    parser.add_argument("--standins", required=True)
    parser.add_argument("--work", required=True)
    args = parser.parse_args()
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))

    started = time.monotonic()
    wine = Wine(args)
    # Only robocopy is stood in for: the rm the tool finds must be the installed one.
    os.remove(os.path.join(wine.tools, "rm.exe"))
    suite = PackagingSuite(wine, args)
    try:
        suite.test("Wine prefix starts", wine.start)
        if suite.failed == 0:
            suite.run_all()
    finally:
        subprocess.run(["wineserver", "-k"], env=wine.env, timeout=60,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    print("packaging: %d passed, %d failed (%.0f s)"
          % (suite.passed, suite.failed, time.monotonic() - started), flush=True)
    return 0 if suite.failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
