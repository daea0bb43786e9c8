"""The leak filter forgives the graphics driver's leaks and nothing else."""

import unittest

import driver_leaks

DRIVER = """
=================================================================
==5446==ERROR: LeakSanitizer: detected memory leaks

Indirect leak of 56 byte(s) in 1 object(s) allocated from:
    #0 0x7f1fc8eb83b7 in __interceptor_calloc ../../../../src/libsanitizer/asan/asan_malloc_linux.cpp:77
    #1 0x7f1fc158edd3  (/usr/lib/x86_64-linux-gnu/libasan.so.8.0.0+0x18edd3)

Indirect leak of 56 byte(s) in 1 object(s) allocated from:
    #0 0x7f1fc8eb83b7 in __interceptor_calloc ../../../../src/libsanitizer/asan/asan_malloc_linux.cpp:77
    #1 0x7f1fc158edaf  (<unknown module>)

SUMMARY: AddressSanitizer: 112 byte(s) leaked in 2 allocation(s).
"""

OURS = """
Direct leak of 24 byte(s) in 1 object(s) allocated from:
    #0 0x7f1fc8eb9f17 in operator new(unsigned long) ../../../../src/libsanitizer/asan/asan_new_delete.cpp:95
    #1 0x55d0c1a2b3c4 in Level::load(std::string const&) src/game/level.cpp:120
    #2 0x55d0c1a2b3c4 in main src/main/main.cpp:12
"""

LIBRARY = """
Direct leak of 64 byte(s) in 1 object(s) allocated from:
    #0 0x7f1fc8eb83b7 in __interceptor_malloc ../../../../src/libsanitizer/asan/asan_malloc_linux.cpp:69
    #1 0x7f1fc3a0b001  (/usr/lib/x86_64-linux-gnu/libfreetype.so.6+0x1b001)
"""


class DriverLeaks(unittest.TestCase):
    def test_forgives_only_the_driver_leak_status(self):
        self.assertEqual(driver_leaks.forgiven(23, DRIVER), 0)
        self.assertEqual(driver_leaks.forgiven(1, DRIVER), 1)
        self.assertEqual(driver_leaks.forgiven(23, "no report at all"), 23)
        self.assertEqual(driver_leaks.forgiven(0, ""), 0)

    def test_a_game_keeps_its_own_status_unless_it_leaks_itself(self):
        # The harness leaves the leak check's status to the game: a game that
        # stopped with status 1 on a bad tree keeps it beside the driver's leaks.
        self.assertEqual(driver_leaks.judged(1, DRIVER), 1)
        self.assertEqual(driver_leaks.judged(0, DRIVER), 0)
        self.assertEqual(driver_leaks.judged(0, "no report at all"), 0)
        self.assertEqual(driver_leaks.judged(0, DRIVER.replace("\nSUMMARY", OURS + "\nSUMMARY")), 23)
        self.assertEqual(driver_leaks.judged(1, DRIVER.replace("\nSUMMARY", LIBRARY + "\nSUMMARY")), 23)
        self.assertEqual(driver_leaks.judged(0, "src/a.cpp:3:5: runtime error: division by zero\n"), 1)
        env = driver_leaks.own_status_environment({"LSAN_OPTIONS": "exitcode=23:report_objects=1", "A": "b"})
        self.assertEqual(env, {"LSAN_OPTIONS": "report_objects=1:exitcode=0", "A": "b"})
        self.assertEqual(driver_leaks.own_status_environment({"A": "b"}), {"A": "b"})

    def test_any_other_leak_or_report_keeps_the_failure(self):
        for extra in (OURS, LIBRARY, "src/a.cpp:3:5: runtime error: signed integer overflow\n",
                      "==1==ERROR: AddressSanitizer: heap-use-after-free on address 0x1\n"):
            text = DRIVER.replace("\nSUMMARY", extra + "\nSUMMARY")
            self.assertFalse(driver_leaks.only_driver_leaks(text), extra)
            self.assertEqual(driver_leaks.forgiven(23, text), 23)


if __name__ == "__main__":
    unittest.main()
