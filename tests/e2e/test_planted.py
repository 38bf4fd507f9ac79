"""Files that an accident or another local user can plant, and faults in the middle of writing,
through the real station: links where the station writes, FIFOs where it reads, a lock folder
made by someone else, a disk that fills up during a CSV append and a kill between the append and
the delete. Nothing is written outside the configured folders, nothing is collected twice, and no
file stops the station."""

import os
import pwd
import shutil
import subprocess
import sys
import tempfile
import unittest
import zlib

sys.path.insert(0, os.path.dirname(__file__))
from station import Station  # noqa: E402

FLANGE = "G71 X600 Y400 Z18\r\n(FLANGE PLATE)\r\nM30\r\n"
PART7 = "G71 X600 Y400 Z18\r\n(PART SEVEN)\r\nN3 G01 X1 Y2\r\nM30"
TWO_D = "PART7^UN1^X600^Y400^Z18!" + PART7
INTRUDER = "quorlan-intruder"


def compressed(text):
    data = zlib.compress(text.encode("cp1252"), 9).replace(b"\\", b"\\\\")
    return b"\xf1" + b"00" + b"%05d" % len(text) + b"000" + data


def large_program():
    """A 2D scan that expands to more than the station expands in memory."""
    text = "PART7^UN1^X600^Y400^Z18!G71 X600 Y400 Z18\r\n(PART SEVEN)\r\n"
    n = 3
    while len(text) < 26000:
        text += f"N{n} G01 X{n * 7 % 600}.5 Y{n * 13 % 400} Z-2 F1200 ; {n * 31 % 97}\r\n"
        n += 1
    return text


def read(path):
    with open(path, "rb") as f:
        return f.read()


class PlantedTest(unittest.TestCase):
    def setUp(self):
        self.s = Station(args=["NOAPP"])
        self.s.write_file("PROGS/FLANGE.CNC", FLANGE)
        self.outside = os.path.join(self.s.root, "outside")
        os.makedirs(self.outside)
        self.mounted = None

    def tearDown(self):
        if self.mounted is not None:
            process = self.s.process
            if process and process.poll() is None:
                process.kill()
                process.wait()
            subprocess.run(["umount", self.mounted], check=False)
        self.s.stop()

    def target(self, name, content=b"root's own file\n"):
        path = os.path.join(self.outside, name)
        with open(path, "wb") as f:
            f.write(content)
        return path

    def reported(self, text, seconds=10):
        lines = self.s.stdout_lines + self.s.stderr_lines
        ok = self.s._wait_for(lambda: any(text in line for line in self.s.stdout_lines + self.s.stderr_lines),
                              seconds)
        self.assertTrue(ok, f"{text!r} not reported: {lines}")

    def acknowledged(self, label):
        self.s.scan(label)
        self.assertEqual(self.s.acks(5), 1, self.s.stdout_lines + self.s.stderr_lines)

    def test_links_at_the_fixed_temporary_files_are_never_written_through(self):
        s = self.s
        bin_folder = s.path("Koridan", "Bin")
        os.makedirs(bin_folder)
        compressed_target = self.target("compressed", b"x" * 100)
        expanded_target = self.target("expanded", b"y" * 100)
        os.symlink(compressed_target, os.path.join(bin_folder, "Temp.Cmp"))
        os.symlink(expanded_target, os.path.join(bin_folder, "Temp.Dat"))
        s.start()
        good = compressed(large_program())
        corrupt = good[:-40]
        for scan in (corrupt, good):
            s.scan(scan, quiet_ticks=5)
        self.assertTrue(s.wait_journal(lambda lines: any(l.startswith("AddLine #161=PART7;") for l in lines), 15),
                        s.stdout_lines)
        self.reported("Compressed scan not used: it could not be expanded")
        self.assertEqual(read(compressed_target), b"x" * 100)
        self.assertEqual(read(expanded_target), b"y" * 100)
        self.assertEqual(os.listdir(bin_folder), [], "the temporary files are removed when done")
        self.assertEqual(read(s.path("PROGS", "PART7")), large_program().split("!", 1)[1].encode() + b"\r\n")

    def test_a_link_at_a_guessable_temporary_name_of_a_save_is_never_written_through(self):
        s = self.s
        s.start()
        target = self.target("owned-by-root")
        for guess in (f".~PART7.{s.process.pid}", ".~PART7", "PART7.tmp"):
            os.symlink(target, s.path("PROGS", guess))
        s.scan(TWO_D)
        self.assertTrue(s.wait_journal(lambda lines: any(l.startswith("AddLine #161=PART7;") for l in lines), 10))
        self.assertEqual(read(target), b"root's own file\n")
        self.assertFalse(os.path.islink(s.path("PROGS", "PART7")))
        self.assertEqual(read(s.path("PROGS", "PART7")), PART7.encode() + b"\r\n")

    def test_a_program_file_that_is_a_link_is_left_alone_and_the_operator_told(self):
        s = self.s
        target = self.target("shared-program", FLANGE.encode())
        os.symlink(target, s.path("PROGS", "PART7"))
        s.start()
        s.scan(TWO_D)
        self.reported("PART7 not saved, so it was not queued: the program file is a symbolic link (to "
                      f"{target}), which the station neither writes through nor replaces")
        self.assertEqual(os.readlink(s.path("PROGS", "PART7")), target)
        self.assertEqual(read(target), FLANGE.encode())
        self.assertEqual(s.journal_calls("AddLine"), [])
        self.acknowledged("FLANGE")

    def test_a_fifo_named_like_a_program_or_as_the_collecting_file_is_refused_at_once(self):
        s = self.s
        os.mkfifo(s.path("PROGS", "HANG.CNC"))
        s.write_file("CSV/FLANGE.CSV", "1;2;3\r\n")
        os.mkfifo(s.path("OUT", "Quorlan.csv"))
        s.start()
        s.scan("HANG")
        self.reported("C:\\PROGS\\HANG.CNC was not read: Not a file but a FIFO.")
        s.read_answers(2)  # HANG goes on as a label whose program cannot be read
        s.scan("FLANGE")
        self.reported("Not a file but a FIFO: C:\\OUT\\Quorlan.csv")
        self.assertEqual(read(s.path("CSV", "FLANGE.CSV")), b"1;2;3\r\n", "the record waits in its source")
        os.remove(s.path("OUT", "Quorlan.csv"))
        self.acknowledged("FLANGE")
        self.assertEqual(read(s.path("OUT", "Quorlan.csv")), b"1;2;3\r\n")
        s.process.terminate()
        self.assertEqual(s.process.wait(10), 0, "the station ends when asked")

    def test_a_lock_folder_planted_by_another_user_neither_stops_nor_fools_the_station(self):
        if os.geteuid() != 0:
            self.skipTest("needs root to act as a second local user")
        intruder = second_user(self)
        # The intruder copies a live station's lock, so that it names a running station, into the
        # shared folders where a station without a login session used to look for its lock.
        other = Station(args=["NOAPP"])
        self.addCleanup(other.stop)
        other.start()
        lock = read(os.path.join(other.runtime, "BarCode.lock"))
        tmp = tempfile.mkdtemp(prefix="quorlan-e2e-tmp-")  # shared by every user, as /tmp is
        self.addCleanup(shutil.rmtree, tmp, True)
        os.chmod(tmp, 0o1777)
        user = pwd.getpwuid(os.geteuid()).pw_name
        planted = [os.path.join(tmp, name) for name in (f"runtime-{user}", f"quorlan-runtime-{os.geteuid()}")]
        as_user(intruder, lambda: [plant_lock_folder(folder, lock) for folder in planted])

        # Without a session the station keeps its lock in the user's own cache, where no one else
        # can plant anything, and says nothing about it; a second station there is refused.
        s = self.s
        cache = os.path.join(s.root, "cache")
        s.environment = {"TMPDIR": tmp, "XDG_RUNTIME_DIR": None, "XDG_CACHE_HOME": cache}
        s.start()
        session = f"/run/user/{os.geteuid()}"
        folder = session if os.path.isdir(session) else os.path.join(cache, "quorlan", "runtime")
        self.assertTrue(os.path.exists(os.path.join(folder, "BarCode.lock")))
        self.assertEqual(os.stat(folder).st_mode & 0o777, 0o700)
        self.acknowledged("FLANGE")
        second = s.launch([])
        self.assertNotEqual(second.wait(20), 0)
        self.reported("already running")
        self.assertEqual([line for line in s.stderr_lines if "runtime" in line], [])
        s.stop()

        # Nor is one that $XDG_RUNTIME_DIR names.
        self.s = Station(args=["NOAPP"])
        self.s.write_file("PROGS/FLANGE.CNC", FLANGE)
        self.s.environment = {"TMPDIR": tmp, "XDG_RUNTIME_DIR": planted[0],
                              "XDG_CACHE_HOME": os.path.join(self.s.root, "cache")}
        self.s.start()
        self.reported(f"$XDG_RUNTIME_DIR {planted[0]} belongs to user number {intruder.pw_uid}, not to this user")
        self.acknowledged("FLANGE")
        for folder in planted:
            self.assertEqual(os.stat(folder).st_uid, intruder.pw_uid)
            self.assertEqual(read(os.path.join(folder, "BarCode.lock")), lock)

    def test_a_runtime_folder_in_the_cache_that_is_not_private_is_refused_and_the_station_carries_on(self):
        if os.path.isdir(f"/run/user/{os.geteuid()}"):
            self.skipTest("the session's runtime folder comes first here")
        s = self.s
        cache = os.path.join(s.root, "cache")
        runtime = os.path.join(cache, "quorlan", "runtime")
        os.makedirs(runtime)
        os.chmod(runtime, 0o755)
        s.environment = {"XDG_RUNTIME_DIR": None, "XDG_CACHE_HOME": cache}
        s.start()
        self.reported(f"the runtime folder {runtime} has mode 0755: other users may enter it. The station's lock "
                      f"and the control's socket need a folder of this user's own that no one else may enter: make "
                      f"it one (chmod 700 {runtime}")
        self.acknowledged("FLANGE")
        self.assertEqual(os.stat(runtime).st_mode & 0o777, 0o755, "a refused folder is left as it is")
        self.assertEqual(os.listdir(runtime), [])

    def test_a_disk_that_fills_up_during_a_csv_append_leaves_the_collecting_file_as_it_was(self):
        s = self.s
        out = s.path("OUT")
        if subprocess.run(["mount", "-t", "tmpfs", "-o", "size=64k", "tmpfs", out], capture_output=True).returncode:
            self.skipTest("mounting a small tmpfs is not allowed here")
        self.mounted = out
        before = b"earlier;record\r\n" * 256
        with open(os.path.join(out, "Quorlan.csv"), "wb") as f:
            f.write(before)
        with open(os.path.join(out, "filler"), "wb") as f:
            f.write(b"f" * 40960)
        record = ("1;2;3;" + "x" * 50 + "\r\n") * 500
        s.write_file("CSV/FLANGE.CSV", record)
        s.start()
        s.scan("FLANGE")
        self.reported("C:\\OUT\\Quorlan.csv")
        self.assertEqual(read(os.path.join(out, "Quorlan.csv")), before)
        self.reported("Unexpected error # 61 occured: Disk full: C:\\OUT\\Quorlan.csv")
        self.assertEqual(read(s.path("CSV", "FLANGE.CSV")), record.encode())
        self.assertEqual(s.journal_calls("AddLine"), [])

        os.remove(os.path.join(out, "filler"))
        self.acknowledged("FLANGE")
        self.assertEqual(read(os.path.join(out, "Quorlan.csv")), before + record.encode())
        self.assertEqual(os.listdir(s.path("CSV")), [])

    def test_a_kill_between_the_append_and_the_delete_never_collects_a_record_twice(self):
        strace = shutil.which("strace")
        if strace is None:
            self.skipTest("strace is not installed")
        s = self.s
        record = b"1;2;3\r\n"
        s.write_file("CSV/FLANGE.CSV", record.decode())
        earlier = b"earlier\r\n"
        with open(s.path("OUT", "Quorlan.csv"), "wb") as f:
            f.write(earlier)
        # The station dies as a kill -9 would kill it, at the moment it removes the record's source
        # (under whatever name it has by then), after the append.
        deletes = [s.path("CSV", "FLANGE.CSV"), s.path("CSV", f".FLANGE.CSV.~{len(earlier)}")]
        killer = [strace, "-f", "-qq", "-o", "/dev/null", "-e", "trace=unlink,unlinkat",
                  "-e", "inject=unlink,unlinkat:signal=KILL", *[f"-P{path}" for path in deletes]]
        for _ in range(2):
            s.stdout_lines.clear()  # so that the start waits for this run's port
            s.start(wrapper=killer)
            s.scan("FLANGE")
            try:
                code = s.process.wait(10)
            except subprocess.TimeoutExpired:
                self.skipTest("strace could not stop the station here")
            self.assertNotEqual(code, 0)
            self.assertEqual(s.journal_calls("AddLine"), [])
        s.stdout_lines.clear()
        s.start()
        self.acknowledged("FLANGE")
        self.assertEqual(read(s.path("OUT", "Quorlan.csv")), earlier + record)
        self.assertEqual(os.listdir(s.path("CSV")), [])


def second_user(test):
    """A local user beside the station's, made for the test when there is none."""
    try:
        return pwd.getpwnam(INTRUDER)
    except KeyError:
        pass
    if subprocess.run(["useradd", "--system", "--no-create-home", "--shell", "/usr/sbin/nologin", INTRUDER],
                      capture_output=True).returncode != 0:
        test.skipTest("useradd cannot make a second local user here")
    test.addCleanup(subprocess.run, ["userdel", INTRUDER], capture_output=True)
    return pwd.getpwnam(INTRUDER)


def as_user(user, action):
    pid = os.fork()
    if pid == 0:
        try:
            os.setgid(user.pw_gid)
            os.setuid(user.pw_uid)
            action()
            os._exit(0)
        except BaseException:  # noqa: B902 - the child must never return into the test
            os._exit(1)
    _, status = os.waitpid(pid, 0)
    if os.waitstatus_to_exitcode(status) != 0:
        raise AssertionError("the second user could not plant the folder")


def plant_lock_folder(folder, lock):
    os.mkdir(folder, 0o755)
    with open(os.path.join(folder, "BarCode.lock"), "wb") as f:
        f.write(lock)


if __name__ == "__main__":
    unittest.main()
