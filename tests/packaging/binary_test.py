"""The built programs as Windows sees them: PE32 for i386 or PE32+ for x64, their subsystem,
what they import, their manifest and their version resource.

Usage: binary_test.py BIN_DIR VERSION BITS (32 or 64)
"""
import os
import sys
import unittest

import pefile

BIN_DIR = sys.argv.pop(1) if len(sys.argv) > 3 else ""
VERSION = sys.argv.pop(1) if len(sys.argv) > 2 else ""
BITS = sys.argv.pop(1) if len(sys.argv) > 1 else ""

# The machine and optional-header magic each architecture's build must produce.
IMAGE_FILE_MACHINE_I386 = 0x14C
IMAGE_FILE_MACHINE_AMD64 = 0x8664
PE32_MAGIC = 0x10B
PE32_PLUS_MAGIC = 0x20B
ARCHITECTURES = {"32": (IMAGE_FILE_MACHINE_I386, PE32_MAGIC), "64": (IMAGE_FILE_MACHINE_AMD64, PE32_PLUS_MAGIC)}
SUBSYSTEM_WINDOWS_GUI = 2
SUBSYSTEM_WINDOWS_CUI = 3
RT_MANIFEST = 24

# What a program may import: the system's own DLLs, nothing that ships with a toolchain.
SYSTEM_DLLS = {"ntdll.dll", "kernel32.dll", "msvcrt.dll", "shell32.dll", "user32.dll", "advapi32.dll", "shlwapi.dll"}

SUPPORTED_OS = {
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  # Windows 7
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  # Windows 8
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  # Windows 8.1
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  # Windows 10 and 11
}


def load(name):
    return pefile.PE(os.path.join(BIN_DIR, name))


def manifest_of(pe):
    for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if kind.id == RT_MANIFEST:
            for entry in kind.directory.entries:
                data = entry.directory.entries[0].data.struct
                return entry.id, pe.get_data(data.OffsetToData, data.Size).decode("utf-8")
    return None, ""


def strings_of(pe):
    strings = {}
    for info in pe.FileInfo[0]:
        if info.Key == b"StringFileInfo":
            for table in info.StringTable:
                strings.update({k.decode(): v.decode() for k, v in table.entries.items()})
    return strings


class ProgramTest:
    program = ""
    subsystem = 0

    def setUp(self):
        self.pe = load(self.program)

    def test_is_built_for_the_architecture_of_its_build(self):
        machine, magic = ARCHITECTURES[BITS]
        self.assertEqual(self.pe.FILE_HEADER.Machine, machine)
        self.assertEqual(self.pe.OPTIONAL_HEADER.Magic, magic)

    def test_subsystem(self):
        self.assertEqual(self.pe.OPTIONAL_HEADER.Subsystem, self.subsystem)

    def test_imports_only_system_dlls(self):
        dlls = {entry.dll.decode().lower() for entry in self.pe.DIRECTORY_ENTRY_IMPORT}
        self.assertTrue(dlls <= SYSTEM_DLLS, f"unexpected DLLs: {sorted(dlls - SYSTEM_DLLS)}")

    def test_manifest_runs_as_invoker_on_windows_7_to_11(self):
        resource_id, manifest = manifest_of(self.pe)
        self.assertEqual(resource_id, 1)
        self.assertIn('<requestedExecutionLevel level="asInvoker" uiAccess="false"/>', manifest)
        for os_id in SUPPORTED_OS:
            self.assertIn(f'<supportedOS Id="{os_id}"/>', manifest)
        self.assertNotIn("longPathAware", manifest)

    def test_version_resource_carries_the_project_version(self):
        fixed = self.pe.VS_FIXEDFILEINFO[0]
        major, minor, patch = (int(part) for part in VERSION.split("."))
        self.assertEqual((fixed.FileVersionMS, fixed.FileVersionLS), ((major << 16) | minor, patch << 16))
        self.assertEqual((fixed.ProductVersionMS, fixed.ProductVersionLS), ((major << 16) | minor, patch << 16))
        strings = strings_of(self.pe)
        self.assertEqual(strings["FileVersion"], VERSION)
        self.assertEqual(strings["ProductVersion"], VERSION)
        self.assertEqual(strings["ProductName"], "Quillmoss")
        self.assertEqual(strings["CompanyName"], "Quillmoss")
        self.assertEqual(strings["OriginalFilename"], self.program)
        self.assertTrue(strings["FileDescription"])


class SetupProgramTest(ProgramTest, unittest.TestCase):
    program = "QuillmossSetup.exe"
    subsystem = SUBSYSTEM_WINDOWS_GUI

    def test_imports_shcreatedirectory_by_ordinal_165(self):
        shell32 = [e for e in self.pe.DIRECTORY_ENTRY_IMPORT if e.dll.decode().lower() == "shell32.dll"]
        by_ordinal = {i.ordinal for e in shell32 for i in e.imports if i.import_by_ordinal}
        by_name = {i.name.decode() for e in shell32 for i in e.imports if i.name}
        self.assertIn(165, by_ordinal)
        self.assertNotIn("SHCreateDirectory", by_name)


class RenameProgramTest(ProgramTest, unittest.TestCase):
    program = "QuillmossRename.exe"
    subsystem = SUBSYSTEM_WINDOWS_CUI


if __name__ == "__main__":
    unittest.main(verbosity=2)
