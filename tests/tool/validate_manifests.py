#!/usr/bin/env python3
"""Validates the winget manifests in a folder against the JSON schemas.

    validate_manifests.py MANIFEST_FOLDER SCHEMA_FOLDER

Each YAML file is checked against the schema of its ManifestType
(version, installer, defaultLocale); all three must be there. Prints each
problem and exits 1 when there is any.
"""
import json
import pathlib
import sys

import jsonschema
import yaml

SCHEMAS = {"version": "manifest.version.1.10.0.json",
           "installer": "manifest.installer.1.10.0.json",
           "defaultLocale": "manifest.defaultLocale.1.10.0.json"}


def main(folder, schemas):
    problems, seen = [], set()
    for path in sorted(pathlib.Path(folder).glob("*.yaml")):
        manifest = yaml.safe_load(path.read_text(encoding="utf-8"))
        kind = manifest.get("ManifestType")
        if kind not in SCHEMAS:
            problems.append(f"{path.name}: unknown ManifestType {kind!r}")
            continue
        seen.add(kind)
        schema = json.loads((pathlib.Path(schemas) / SCHEMAS[kind]).read_text(encoding="utf-8"))
        for error in jsonschema.Draft7Validator(schema).iter_errors(manifest):
            problems.append(f"{path.name}: {'/'.join(map(str, error.path))}: {error.message}")
    problems += [f"no {kind} manifest" for kind in SCHEMAS if kind not in seen]
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:3]))
