// Checks config.json files against a JSON Schema with a validator that no one here wrote (the
// npm package ajv).
//
//   node validate-config.js SCHEMA [--expect=FAULTS] FILE...
//
// Prints one line per file: "FILE: valid" or "FILE: invalid: PATH MESSAGE". PATH is ajv's
// instancePath, with the member's name added when the fault is a member that is not allowed
// or missing, so that it points at the faulty member itself.
// Without FAULTS every file must be valid. FAULTS is a JSON object mapping a file's base name
// to the PATH of its one fault: such a file must be invalid there and nowhere else; every
// other file must be valid.
// Exit status: 0 when every file met its expectation, 1 when one did not, 2 when the check
// itself could not run (usage, ajv missing, an unreadable schema or FAULTS, or FAULTS naming
// a file that was not given).
"use strict";

const fs = require("fs");
const path = require("path");

function stop(message) {
    console.error(`validate-config: ${message}`);
    process.exit(2);
}

// { value } or { problem }: a broken config is a result to report, not a crash.
function readJson(file) {
    try {
        return { value: JSON.parse(fs.readFileSync(file, "utf8")) };
    } catch (error) {
        return { problem: error.message };
    }
}

function escapePointer(name) {
    return name.replace(/~/g, "~0").replace(/\//g, "~1");
}

function faultPath(error) {
    const member = error.params.additionalProperty ?? error.params.missingProperty;
    return member === undefined ? error.instancePath : `${error.instancePath}/${escapePointer(member)}`;
}

function faultText(error) {
    const member = error.params.additionalProperty;
    return member === undefined ? error.message : `${error.message}: ${member}`;
}

function main(argv) {
    const expectOption = argv.find((a) => a.startsWith("--expect="));
    const [schemaFile, ...files] = argv.filter((a) => a !== expectOption);
    if (!schemaFile || files.length === 0) {
        stop("usage: node validate-config.js SCHEMA [--expect=FAULTS] FILE...");
    }

    let Ajv2020;
    try {
        Ajv2020 = require("ajv/dist/2020");
    } catch (error) {
        stop(`ajv is missing (${error.message}); run scripts/install-node-deps.sh`);
    }

    const schema = readJson(schemaFile);
    if (schema.problem !== undefined) {
        stop(`cannot read ${schemaFile}: ${schema.problem}`);
    }
    let validate;
    try {
        // Union types: RandomCCCs is a list of coordinates or a single one.
        validate = new Ajv2020({ allErrors: true, allowUnionTypes: true }).compile(schema.value);
    } catch (error) {
        stop(`${schemaFile} is no usable schema: ${error.message}`);
    }

    let faults = {};
    if (expectOption) {
        const faultsFile = expectOption.slice("--expect=".length);
        const read = readJson(faultsFile);
        faults = read.value;
        if (typeof faults !== "object" || faults === null || Array.isArray(faults)) {
            stop(`cannot read ${faultsFile}: ${read.problem ?? "not an object"}`);
        }
        if (!Object.values(faults).every((p) => typeof p === "string")) {
            stop(`${faultsFile}: every expected path must be a string`);
        }
        const given = new Set(files.map((f) => path.basename(f)));
        const absent = Object.keys(faults).filter((name) => !given.has(name));
        if (absent.length > 0) {
            stop(`${faultsFile} names files that were not given: ${absent.join(", ")}`);
        }
    }

    let allMet = true;
    for (const file of files) {
        const name = path.basename(file);
        const expected = Object.hasOwn(faults, name) ? faults[name] : undefined;
        const config = readJson(file);
        let paths;
        if (config.problem !== undefined) {
            console.log(`${file}: invalid: (not JSON) ${config.problem}`);
            paths = ["(not JSON)"];
        } else if (validate(config.value)) {
            console.log(`${file}: valid`);
            paths = [];
        } else {
            // An "if" fails with its "then", which names the member itself.
            const errors = validate.errors.filter((e) => e.keyword !== "if");
            const [first, ...rest] = errors;
            const more = rest.length > 0 ? ` (and ${rest.length} more)` : "";
            console.log(`${file}: invalid: ${faultPath(first)} ${faultText(first)}${more}`);
            paths = errors.map(faultPath);
        }

        const met =
            expected === undefined ? paths.length === 0 : paths.length > 0 && paths.every((p) => p === expected);
        if (!met) {
            allMet = false;
            const wanted = expected === undefined ? "valid" : `invalid at ${expected} only`;
            console.log(`${file}: expected ${wanted}; faults at ${paths.join(", ") || "none"}`);
        }
    }
    return allMet ? 0 : 1;
}

process.exitCode = main(process.argv.slice(2));
