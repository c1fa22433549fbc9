#!/usr/bin/env python3
"""Shows that check_dll.py rejects what it must: the built library passes,
and copies of it altered in one place each fail with the right complaint.

Usage: check_dll_test.py DLL MACHINE OBJDUMP BITMAP
"""

import os
import re
import struct
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import check_dll  # noqa: E402

DLL, MACHINE, OBJDUMP, BITMAP = sys.argv[1:5] if len(sys.argv) == 5 else (None,) * 4


def load(path):
    with open(path, "rb") as file:
        return file.read()


class BuiltLibrary(unittest.TestCase):
    """The library as built, and copies with one field of a resource changed."""

    @classmethod
    def setUpClass(cls):
        cls.image = load(DLL)
        cls.committed = load(BITMAP)
        cls.headers = check_dll.check_library(cls.image, MACHINE)
        cls.dialog_at, _ = check_dll.locate_resource(cls.image, cls.headers, check_dll.RT_DIALOG, 101)
        cls.bitmap_at, _ = check_dll.locate_resource(cls.image, cls.headers, check_dll.RT_BITMAP, 103)

    def altered(self, at, packing, *values):
        copy = bytearray(self.image)
        struct.pack_into(packing, copy, at, *values)
        return bytes(copy)

    def assert_resources_rejected(self, image, complaint):
        with self.assertRaises(check_dll.CheckFailed) as caught:
            check_dll.check_resources(image, self.headers, self.committed)
        self.assertIn(complaint, str(caught.exception))

    def test_the_built_library_passes(self):
        check_dll.check_resources(self.image, self.headers, self.committed)
        check_dll.check_links(check_dll.read_objdump(OBJDUMP, DLL))

    def test_the_other_machine_is_rejected(self):
        other = "i386" if MACHINE == "x86-64" else "x86-64"
        with self.assertRaises(check_dll.CheckFailed):
            check_dll.check_library(self.image, other)

    def test_a_dialog_style_without_the_system_menu_is_rejected(self):
        style = 0x80C800C0 & ~0x00080000
        self.assert_resources_rejected(self.altered(self.dialog_at, "<I", style), "dialog 101 style")

    def test_the_extended_template_form_is_rejected(self):
        self.assert_resources_rejected(self.altered(self.dialog_at, "<HH", 1, 0xFFFF), "extended form")

    def test_a_missing_control_is_rejected(self):
        self.assert_resources_rejected(self.altered(self.dialog_at + 8, "<H", 4), "has 4 controls")

    def test_a_wider_dialog_is_rejected(self):
        self.assert_resources_rejected(self.altered(self.dialog_at + 14, "<h", 360), "dialog 101 box")

    def test_a_taller_bitmap_is_rejected(self):
        self.assert_resources_rejected(self.altered(self.bitmap_at + 8, "<i", 182), "bitmap 103 header")

    def test_a_top_down_bitmap_is_rejected(self):
        self.assert_resources_rejected(self.altered(self.bitmap_at + 8, "<i", -181), "bitmap 103 header")

    def test_another_resolution_is_rejected(self):
        self.assert_resources_rejected(self.altered(self.bitmap_at + 24, "<i", 2835), "bitmap 103 header")

    def test_a_changed_pixel_is_rejected(self):
        pixel = self.image[self.bitmap_at + 40 + 5000]
        self.assert_resources_rejected(self.altered(self.bitmap_at + 40 + 5000, "<B", pixel ^ 1), "differs")

    def test_the_version_resource_is_read_and_checked(self):
        found = check_dll.check_version_resource(self.image, self.headers, self.built_version())
        self.assertEqual(found["strings"]["ProductName"], "raysphere")
        self.assertTrue(found["strings"]["OriginalFilename"].endswith(".dll"))
        with self.assertRaisesRegex(check_dll.CheckFailed, "file version"):
            check_dll.check_version_resource(self.image, self.headers, "0.9.0")
        # The fixed information's file version, just after the root's key, changed alone
        version_at, _ = check_dll.locate_resource(self.image, self.headers, check_dll.RT_VERSION, 1)
        altered = self.altered(version_at + 40 + 8, "<I", 0x00020000)
        with self.assertRaisesRegex(check_dll.CheckFailed, "file version 2.0"):
            check_dll.check_version_resource(altered, self.headers, self.built_version())

    def built_version(self):
        data = check_dll.find_resource(self.image, self.headers, check_dll.RT_VERSION, 1)
        return check_dll.read_version_resource(data)["strings"]["ProductVersion"]


class DialogParts(unittest.TestCase):
    """Controls and the information text, on records built by hand."""

    def dialog(self):
        controls = [
            {"class": c, "id": i, "text": t if t is not None else " a\n b\n c", "box": b, "style": s, "exstyle": 0}
            for c, i, t, b, s in check_dll.CONTROLS
        ]
        return dict(check_dll.DIALOG, controls=controls)

    def test_the_expected_dialog_passes(self):
        check_dll.check_dialog(self.dialog())

    def test_a_button_with_a_tab_stop_too_many_is_rejected(self):
        dialog = self.dialog()
        dialog["controls"][2]["style"] |= 0x00010000
        with self.assertRaisesRegex(check_dll.CheckFailed, "control 3"):
            check_dll.check_dialog(dialog)

    def test_a_class_given_by_name_is_rejected(self):
        dialog = self.dialog()
        dialog["controls"][0]["class"] = "BUTTON"
        with self.assertRaisesRegex(check_dll.CheckFailed, "control 1"):
            check_dll.check_dialog(dialog)

    def test_swapped_buttons_are_rejected(self):
        dialog = self.dialog()
        dialog["controls"][0], dialog["controls"][1] = dialog["controls"][1], dialog["controls"][0]
        with self.assertRaisesRegex(check_dll.CheckFailed, "control 1"):
            check_dll.check_dialog(dialog)

    def test_a_picture_of_another_bitmap_is_rejected(self):
        dialog = self.dialog()
        dialog["controls"][3]["text"] = 104
        with self.assertRaisesRegex(check_dll.CheckFailed, "control 4"):
            check_dll.check_dialog(dialog)

    def test_another_font_is_rejected(self):
        dialog = dict(self.dialog(), font=(8, "Tahoma"))
        with self.assertRaisesRegex(check_dll.CheckFailed, "font"):
            check_dll.check_dialog(dialog)

    def test_information_text_forms(self):
        check_dll.check_information_text("   one\n  two\n three")
        for text in ("   one\n  two", "one\n  two\n three", "   one\r\n  two\n three", "   one\n   \n three", 103):
            with self.subTest(text=text), self.assertRaises(check_dll.CheckFailed):
                check_dll.check_information_text(text)


class Links(unittest.TestCase):
    """Exports and imports as objdump reports them."""

    GOOD = {"export_count": 1, "exports": ["winampVisGetHeader"], "imports": ["KERNEL32.dll", "USER32.dll", "msvcrt.dll"]}

    def test_system_libraries_pass(self):
        check_dll.check_links(self.GOOD)
        check_dll.check_links(dict(self.GOOD, imports=["kernel32.DLL", "GDI32.dll", "DDRAW.dll"]))

    def test_runtime_libraries_of_the_compiler_are_rejected(self):
        for library in ("libstdc++-6.dll", "libgcc_s_dw2-1.dll", "libwinpthread-1.dll"):
            with self.subTest(library=library), self.assertRaisesRegex(check_dll.CheckFailed, re.escape(library)):
                check_dll.check_links(dict(self.GOOD, imports=self.GOOD["imports"] + [library]))

    def test_a_decorated_name_is_rejected(self):
        with self.assertRaises(check_dll.CheckFailed):
            check_dll.check_links(dict(self.GOOD, exports=["_winampVisGetHeader@0"]))

    def test_a_second_export_is_rejected(self):
        with self.assertRaises(check_dll.CheckFailed):
            check_dll.check_links(dict(self.GOOD, export_count=2, exports=["winampVisGetHeader", "getModule"]))

    def test_an_export_by_ordinal_only_is_rejected(self):
        with self.assertRaises(check_dll.CheckFailed):
            check_dll.check_links(dict(self.GOOD, export_count=2))


if __name__ == "__main__":
    if DLL is None:
        sys.exit(__doc__)
    unittest.main(argv=sys.argv[:1], verbosity=1)
