#!/usr/bin/env node
// Fetches the interface's symbol images from the npm registry at a pinned version, checks the
// tarball (sha512) and every file taken from it (sha256), and lays out Resources/Symbols with only
// the files the lock names (the SVGs and the licence). Tarballs are cached under
// ${XDG_CACHE_HOME:-$HOME/.cache}/leafwrighter-symbols.
// Usage: node fetch-symbols.mjs --out <dir> [--tools <dir with fetch-symbols.lock.tsv>]
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { Packages, buildFolder, fail, parseArgs, readTsv, runTool } from './npm-fetch.mjs';

const USAGE = 'fetch-symbols.mjs --out <dir> [--tools <dir>]';

runTool('fetch-symbols', async () => {
    const opt = parseArgs(USAGE, { tools: path.dirname(fileURLToPath(import.meta.url)) }, ['out', 'tools'], ['out']);
    const lock = readTsv(path.join(opt.tools, 'fetch-symbols.lock.tsv'));
    const pkgs = new Packages();
    for (const r of lock)
        r.ref = pkgs.want(r.npm_package, r.version, r.tarball_integrity);
    await pkgs.load('leafwrighter-symbols', 'symbol');

    await buildFolder(opt.out, async (stage) => {
        const seen = new Set();
        for (const r of lock) {
            if (!/^[A-Za-z0-9_.-]+$/.test(r.file) || seen.has(r.file))
                fail(`fetch-symbols.lock.tsv: bad or repeated file name "${r.file}"`);
            seen.add(r.file);
            fs.writeFileSync(path.join(stage, r.file), pkgs.extract(r.ref, r.path_in_package, r.sha256, r.bytes));
        }
    });
    process.stdout.write(`fetch-symbols: ${lock.length} files at ${opt.out}\n`);
});
