#!/usr/bin/env python3
"""The setup's winget manifest (packaging/winget/), singleton form.

  winget_manifest.py --check MANIFEST     validates it with the official JSON schema of its manifest type and
                                          version, and checks it against the setup itself (its switches, exit
                                          codes and uninstall entry)
  winget_manifest.py --exe EXE --out OUT  writes a copy with EXE's SHA-256 as InstallerSha256, then checks it

The schema is the one the winget-cli project publishes, kept under packaging/winget/ (source and licence in
SCHEMA-LICENSE). The manifest is validated twice:
  - as winget reads it: every scalar is text, except the fields winget's parser converts to numbers and
    booleans before it validates;
  - as a plain YAML reader (the community repository's tools, editors) reads it: an unquoted value such as
    a hash of digits alone is then a number, and must be quoted to stay text for every reader.
A field the schema does not define is an error, as it is for winget's own validation (the published schema
leaves additional fields open; the check closes every object that lists its fields).
"""
import argparse
import copy
import hashlib
import json
import pathlib
import re
import sys

import jsonschema
import yaml

ROOT = pathlib.Path(__file__).resolve().parent.parent
SCHEMAS = ROOT / "packaging/winget"

# The fields winget's YAML parser reads as numbers or booleans (each item of a list field alike); it reads
# every other scalar as text.
WINGET_NUMBERS = {"InstallerSuccessCodes", "InstallerReturnCode"}
WINGET_BOOLEANS = {"InstallerAbortsTerminal", "InstallLocationRequired", "RequireExplicitUpgrade",
                   "DisplayInstallWarnings", "DownloadCommandProhibited", "ArchiveBinariesDependOnPath"}
YAML_NULLS = {"", "~", "null", "Null", "NULL"}
YAML_TRUE = {"y", "Y", "yes", "Yes", "YES", "true", "True", "TRUE", "on", "On", "ON"}
YAML_FALSE = {"n", "N", "no", "No", "NO", "false", "False", "FALSE", "off", "Off", "OFF"}


class ReadError(Exception):
    pass


def as_winget_reads(node, field=None):
    if isinstance(node, yaml.MappingNode):
        return {key.value: as_winget_reads(value, key.value) for key, value in node.value}
    if isinstance(node, yaml.SequenceNode):
        return [as_winget_reads(item, field) for item in node.value]
    text = node.value
    if node.style is None and text in YAML_NULLS:
        return None
    if field in WINGET_NUMBERS:
        try:
            return int(text, 0)
        except ValueError:
            raise ReadError(f"{field}: {text!r} is not a number") from None
    if field in WINGET_BOOLEANS:
        if text in YAML_TRUE or text in YAML_FALSE:
            return text in YAML_TRUE
        raise ReadError(f"{field}: {text!r} is not a boolean")
    return text


def closed(schema):
    """The schema with every object that lists its fields closed to others."""
    schema = copy.deepcopy(schema)

    def close(node):
        if isinstance(node, dict):
            if "properties" in node and "additionalProperties" not in node:
                node["additionalProperties"] = False
            for value in node.values():
                close(value)
        elif isinstance(node, list):
            for value in node:
                close(value)

    close(schema)
    return schema


def where(error):
    text = ""
    for part in error.absolute_path:
        text += f"[{part}]" if isinstance(part, int) else (f".{part}" if text else str(part))
    return text or "the manifest"


def schema_errors(text):
    try:
        node = yaml.compose(text)
        plain = yaml.safe_load(text)
        read = as_winget_reads(node)
    except (yaml.YAMLError, ReadError) as error:
        return [f"not a manifest winget can read: {error}"]
    if not isinstance(read, dict):
        return ["the manifest is not a mapping"]
    kind, version = read.get("ManifestType"), read.get("ManifestVersion")
    schema_path = SCHEMAS / f"manifest.{kind}.{version}.json"
    if not isinstance(kind, str) or not isinstance(version, str) or not schema_path.is_file():
        return [f"ManifestType {kind!r} and ManifestVersion {version!r}: no official schema of that kind and "
                f"version is kept in {SCHEMAS.relative_to(ROOT)}"]
    validator = jsonschema.Draft202012Validator(closed(json.loads(schema_path.read_text())))
    errors = []
    for reading, document in (("as winget reads it", read), ("as a plain YAML reader reads it", plain)):
        for error in sorted(validator.iter_errors(document), key=lambda e: list(map(str, e.absolute_path))):
            line = f"{where(error)}: {error.message}"
            if not any(line in seen for seen in errors):
                errors.append(f"{line} ({reading}, schema {schema_path.name})")
    return errors


def setup_errors(manifest):
    """What the manifest says must be what the setup does."""
    errors = []
    codes = {}
    for name, value in re.findall(r"constexpr std::uint32_t (kExit\w+) = (\d+);",
                                  (ROOT / "src/run/exit_codes.h").read_text()):
        codes[name] = int(value)
    expected = {codes["kExitRestartNeeded"]: "rebootRequiredToFinish",
                codes["kExitComponentFailed"]: "contactSupport", codes["kExitCancelled"]: "cancelledByUser",
                codes["kExitAnotherSetup"]: "installInProgress", codes["kExitInvalidArguments"]: "invalidParameter"}
    listed = {item.get("InstallerReturnCode"): item.get("ReturnResponse")
              for item in manifest.get("ExpectedReturnCodes") or []}
    if listed != expected:
        errors.append(f"ExpectedReturnCodes {listed} are not the setup's exit codes {expected}")
    switches = manifest.get("InstallerSwitches") or {}
    if switches.get("Silent") != "/quiet":
        errors.append("the Silent switch is not /quiet")
    if switches.get("SilentWithProgress") != "/passive":
        errors.append("the SilentWithProgress switch is not /passive")
    if not (switches.get("Log") or "").startswith("/log="):
        errors.append("the log switch is not /log=")
    registration = (ROOT / "src/steps/toolkit/product_registration.cpp").read_text()
    try:
        entry = manifest["Installers"][0]["AppsAndFeaturesEntries"][0]
    except (KeyError, IndexError, TypeError):
        return errors + ["Installers[0].AppsAndFeaturesEntries: the setup's uninstall entry is not described"]
    for constant, field in (("kClientName", "DisplayName"), ("kPublisher", "Publisher"),
                            ("kProductVersion", "DisplayVersion"), ("kClientEntry", "ProductCode")):
        value = re.search(rf'constexpr char {constant}\[\] = "([^"]*)";', registration).group(1)
        if entry.get(field) != value:
            errors.append(f"AppsAndFeaturesEntries.{field} {entry.get(field)!r} is not the entry's {value!r}")
    if manifest.get("PackageVersion") != entry.get("DisplayVersion"):
        errors.append("PackageVersion is not the uninstall entry's DisplayVersion")
    return errors


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--check")
    parser.add_argument("--exe")
    parser.add_argument("--out")
    arguments = parser.parse_args()
    path = pathlib.Path(arguments.check or SCHEMAS / "Halvorn.NembricSetup.yaml")
    text = path.read_text()
    if arguments.exe:
        digest = hashlib.sha256(pathlib.Path(arguments.exe).read_bytes()).hexdigest().upper()
        # Quoted: a digest of digits alone would otherwise be a number to a plain YAML reader.
        text, count = re.subn(r'(?m)^(\s*InstallerSha256: )"?[0-9A-Fa-f]{64}"?$', rf'\g<1>"{digest}"', text)
        if count != 1:
            print(f"{path}: no single InstallerSha256 to fill in")
            return 1
        path = pathlib.Path(arguments.out)
        path.write_text(text)
    errors = schema_errors(text)
    if not errors:
        errors = setup_errors(as_winget_reads(yaml.compose(text)))
    for error in errors:
        print(f"{path}: {error}")
    if errors:
        return 1
    print(f"{path}: valid by the official schema, and true to the setup")
    return 0


if __name__ == "__main__":
    sys.exit(main())
