"""The short form of the fault test (tests/soak/control_faults.py): 100 labels into a station driving
cnc-sim while the control is stopped, killed and restarted, and its answers delayed, cut or garbled.
CI runs a longer one."""

import os
import subprocess
import sys
import unittest

FAULTS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "soak", "control_faults.py")


class ControlFaultsTest(unittest.TestCase):
    def test_the_list_holds_what_the_station_said_through_100_labels_of_faults(self):
        result = subprocess.run([sys.executable, FAULTS, "100", "19"], capture_output=True, text=True, timeout=600)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        print(result.stdout, end="")


if __name__ == "__main__":
    unittest.main()
