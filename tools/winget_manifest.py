#!/usr/bin/env python3
"""The setup's winget manifest (packaging/winget/), schema version 1.6.0, singleton form.

  winget_manifest.py --check MANIFEST     checks it against the rules of its schema version and against
                                          the setup itself (its switches, exit codes and uninstall entry)
  winget_manifest.py --exe EXE --out OUT  writes a copy with EXE's SHA-256 as InstallerSha256, then checks it

The rules below are those of the 1.6.0 singleton schema for the fields a manifest of an exe installer
uses: required fields, types, lengths, patterns and value lists; a field the schema does not know is an
error, as it is for winget's own validation.
"""
import argparse
import hashlib
import pathlib
import re
import sys

import yaml

ROOT = pathlib.Path(__file__).resolve().parent.parent
SCHEMA_VERSION = "1.6.0"

# Every top-level field of the 1.6.0 singleton manifest.
TOP_LEVEL = set("""
PackageIdentifier PackageVersion PackageLocale Publisher PublisherUrl PublisherSupportUrl PrivacyUrl Author
PackageName PackageUrl License LicenseUrl Copyright CopyrightUrl ShortDescription Description Moniker Tags
Agreements ReleaseNotes ReleaseNotesUrl PurchaseUrl DonationUrl InstallationNotes Documentations Icons
Channel InstallerLocale Platform MinimumOSVersion InstallerType NestedInstallerType NestedInstallerFiles
Scope InstallModes InstallerSwitches InstallerSuccessCodes ExpectedReturnCodes UpgradeBehavior Commands
Protocols FileExtensions Dependencies PackageFamilyName ProductCode Capabilities RestrictedCapabilities
Markets InstallerAbortsTerminal ReleaseDate InstallLocationRequired RequireExplicitUpgrade
DisplayInstallWarnings UnsupportedOSArchitectures UnsupportedArguments AppsAndFeaturesEntries
ElevationRequirement InstallationMetadata DownloadCommandProhibited Installers ManifestType ManifestVersion
""".split())
# The fields an installer may carry: those of the top level that describe an installer, and its own.
INSTALLER = (TOP_LEVEL - set("""
PackageIdentifier PackageVersion PackageLocale Publisher PublisherUrl PublisherSupportUrl PrivacyUrl Author
PackageName PackageUrl License LicenseUrl Copyright CopyrightUrl ShortDescription Description Moniker Tags
Agreements ReleaseNotes ReleaseNotesUrl PurchaseUrl DonationUrl InstallationNotes Documentations Icons
Channel Installers ManifestType ManifestVersion
""".split())) | {"Architecture", "InstallerUrl", "InstallerSha256", "SignatureSha256"}
REQUIRED = ["PackageIdentifier", "PackageVersion", "PackageLocale", "Publisher", "PackageName", "License",
            "ShortDescription", "Installers", "ManifestType", "ManifestVersion"]
INSTALLER_REQUIRED = ["Architecture", "InstallerUrl", "InstallerSha256"]
SWITCHES = {"Silent": 512, "SilentWithProgress": 512, "Interactive": 512, "InstallLocation": 512, "Log": 512,
            "Upgrade": 512, "Custom": 2048}
RETURN_RESPONSES = {
    "packageInUse", "packageInUseByApplication", "installInProgress", "fileInUse", "missingDependency",
    "diskFull", "insufficientMemory", "invalidParameter", "noNetwork", "contactSupport",
    "rebootRequiredToFinish", "rebootRequiredForInstall", "rebootInitiated", "cancelledByUser",
    "alreadyInstalled", "downgrade", "blockedByPolicy", "systemNotSupported", "custom"}
ENUMS = {
    "InstallerType": {"msix", "msi", "appx", "exe", "zip", "inno", "nullsoft", "wix", "burn", "pwa", "portable"},
    "Architecture": {"x86", "x64", "arm", "arm64", "neutral"},
    "Scope": {"user", "machine"},
    "UpgradeBehavior": {"install", "uninstallPrevious", "deny"},
    "ElevationRequirement": {"elevationRequired", "elevationProhibited", "elevatesSelf"},
    "ManifestType": {"singleton"},
}
INSTALL_MODES = {"interactive", "silent", "silentWithProgress"}
NAME_PART = r"[^\.\s\\/:\*\?\"<>\|\x01-\x1f]{1,32}"
PATTERNS = {
    "PackageIdentifier": (rf"^{NAME_PART}(\.{NAME_PART}){{1,7}}$", 128),
    "PackageVersion": (r"^[^\\/:\*\?\"<>\|\x01-\x1f]+$", 128),
    "PackageLocale": (r"^([a-zA-Z]{2,3}|[iI]-[a-zA-Z]+|[xX]-[a-zA-Z]{1,8})(-[a-zA-Z]{1,8})*$", 20),
    "InstallerUrl": (r"^([Hh][Tt][Tt][Pp][Ss]?)://.+$", 2048),
    "InstallerSha256": (r"^[A-Fa-f0-9]{64}$", 64),
    "ManifestVersion": (r"^\d{1,5}(\.\d{1,5}){2}$", 17),
}
LENGTHS = {"Publisher": (2, 256), "PackageName": (2, 256), "License": (3, 512), "ShortDescription": (3, 256),
           "ProductCode": (1, 255)}
ENTRY_FIELDS = {"DisplayName": 256, "Publisher": 256, "DisplayVersion": 128, "ProductCode": 255,
                "UpgradeCode": 255, "InstallerType": 0}


def schema_errors(manifest):
    errors = []

    def check_text(where, name, value):
        if not isinstance(value, str):
            errors.append(f"{where}{name}: not a text")
            return
        if name in PATTERNS:
            pattern, longest = PATTERNS[name]
            if not re.match(pattern, value) or len(value) > longest:
                errors.append(f"{where}{name}: {value!r} does not match the schema")
        if name in LENGTHS:
            shortest, longest = LENGTHS[name]
            if not shortest <= len(value) <= longest:
                errors.append(f"{where}{name}: length {len(value)} outside {shortest}..{longest}")
        if name in ENUMS and value not in ENUMS[name]:
            errors.append(f"{where}{name}: {value!r} is not one of {sorted(ENUMS[name])}")

    def check_installer_fields(where, fields):
        for name, value in fields.items():
            if name in ("InstallModes",):
                if not isinstance(value, list) or not set(value) <= INSTALL_MODES or len(set(value)) != len(value):
                    errors.append(f"{where}InstallModes: {value!r}")
            elif name == "InstallerSwitches":
                for switch, text in (value or {}).items():
                    if switch not in SWITCHES or not isinstance(text, str) or not 1 <= len(text) <= SWITCHES[switch]:
                        errors.append(f"{where}InstallerSwitches.{switch}: {text!r}")
            elif name == "ExpectedReturnCodes":
                if not isinstance(value, list) or len(value) > 128:
                    errors.append(f"{where}ExpectedReturnCodes: not a list of at most 128")
                    continue
                for item in value:
                    code = item.get("InstallerReturnCode")
                    if set(item) - {"InstallerReturnCode", "ReturnResponse", "ReturnResponseUrl"}:
                        errors.append(f"{where}ExpectedReturnCodes: unknown field in {item}")
                    if not isinstance(code, int) or code == 0 or not -2147483648 <= code <= 4294967295:
                        errors.append(f"{where}ExpectedReturnCodes: code {code!r}")
                    if item.get("ReturnResponse") not in RETURN_RESPONSES:
                        errors.append(f"{where}ExpectedReturnCodes: response {item.get('ReturnResponse')!r}")
            elif name == "AppsAndFeaturesEntries":
                for entry in value or []:
                    for field, text in entry.items():
                        if field not in ENTRY_FIELDS:
                            errors.append(f"{where}AppsAndFeaturesEntries: unknown field {field}")
                        elif field == "InstallerType":
                            check_text(where, field, text)
                        elif not isinstance(text, str) or not 1 <= len(text) <= ENTRY_FIELDS[field]:
                            errors.append(f"{where}AppsAndFeaturesEntries.{field}: {text!r}")
            elif isinstance(value, str):
                check_text(where, name, value)

    if not isinstance(manifest, dict):
        return ["the manifest is not a mapping"]
    for name in REQUIRED:
        if name not in manifest:
            errors.append(f"{name}: required")
    for name in manifest:
        if name not in TOP_LEVEL:
            errors.append(f"{name}: not a field of the {SCHEMA_VERSION} manifest")
    for name in ("PackageIdentifier", "PackageVersion", "PackageLocale", "Publisher", "PackageName", "License",
                 "ShortDescription", "ManifestType", "ManifestVersion"):
        if name in manifest:
            check_text("", name, manifest[name])
    if manifest.get("ManifestVersion") != SCHEMA_VERSION:
        errors.append(f"ManifestVersion: {manifest.get('ManifestVersion')!r}, not {SCHEMA_VERSION}")
    check_installer_fields("", {k: v for k, v in manifest.items() if k in INSTALLER})
    installers = manifest.get("Installers")
    if not isinstance(installers, list) or len(installers) != 1:
        errors.append("Installers: a singleton manifest has exactly one installer")
        return errors
    for name in installers[0]:
        if name not in INSTALLER:
            errors.append(f"Installers[0].{name}: not a field of an installer")
    for name in INSTALLER_REQUIRED:
        if name not in installers[0]:
            errors.append(f"Installers[0].{name}: required")
    check_installer_fields("Installers[0].", installers[0])
    if "InstallerType" not in manifest and "InstallerType" not in installers[0]:
        errors.append("InstallerType: required at the top or in the installer")
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
    listed = {item["InstallerReturnCode"]: item["ReturnResponse"] for item in manifest.get("ExpectedReturnCodes", [])}
    if listed != expected:
        errors.append(f"ExpectedReturnCodes {listed} are not the setup's exit codes {expected}")
    switches = manifest.get("InstallerSwitches", {})
    if switches.get("Silent") != "/quiet" or switches.get("SilentWithProgress") != "/quiet":
        errors.append("the silent switches are not /quiet")
    if not switches.get("Log", "").startswith("/log="):
        errors.append("the log switch is not /log=")
    registration = (ROOT / "src/steps/install/product_registration.cpp").read_text()
    entry = manifest["Installers"][0]["AppsAndFeaturesEntries"][0]
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
    path = pathlib.Path(arguments.check or ROOT / "packaging/winget/Halvorn.NembricSetup.yaml")
    text = path.read_text()
    if arguments.exe:
        digest = hashlib.sha256(pathlib.Path(arguments.exe).read_bytes()).hexdigest().upper()
        text = re.sub(r"InstallerSha256: [0-9A-Fa-f]{64}", f"InstallerSha256: {digest}", text)
        path = pathlib.Path(arguments.out)
        path.write_text(text)
    manifest = yaml.safe_load(text)
    errors = schema_errors(manifest) + setup_errors(manifest)
    for error in errors:
        print(f"{path}: {error}")
    if errors:
        return 1
    print(f"{path}: a valid {SCHEMA_VERSION} manifest of the setup")
    return 0


if __name__ == "__main__":
    sys.exit(main())
