#!/usr/bin/env node
// Fetches the bundled font families from the npm registry at pinned versions, checks every tarball
// (sha512) and every extracted file (sha256), and lays out Resources/Fonts:
//   <out>/<Folder>/<font files> + OFL.txt, <out>/fonts-manifest.json, <out>/fonts-standins.json
// Tarballs are cached under ${XDG_CACHE_HOME:-$HOME/.cache}/leafwrighter-fonts, so a second run needs
// no network. Usage: node fetch-fonts.mjs --out <dir> [--tools <dir with the .tsv files>]
import { spawn } from 'node:child_process';
import { createHash } from 'node:crypto';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import zlib from 'node:zlib';

const LICENSE = 'SIL Open Font License 1.1';
const SOURCE_PREFIX = 'https://github.com/google/fonts/tree/main/ofl/';
const FILE_PREFIX = 'https://cdn.jsdelivr.net/npm/';
const PARALLEL = 8;

class FetchError extends Error {}
function fail(message) {
    throw new FetchError(message);
}
let stage = null; // the half-built output folder, removed on failure

function args() {
    const out = { tools: path.dirname(fileURLToPath(import.meta.url)) };
    const argv = process.argv.slice(2);
    for (let i = 0; i < argv.length; i += 2) {
        const key = argv[i].replace(/^--/, '');
        if (!['out', 'tools'].includes(key) || argv[i + 1] === undefined)
            fail(`usage: fetch-fonts.mjs --out <dir> [--tools <dir>] (bad argument "${argv[i]}")`);
        out[key] = path.resolve(argv[i + 1]);
    }
    if (!out.out)
        fail('usage: fetch-fonts.mjs --out <dir> [--tools <dir>]');
    return out;
}

function readTsv(file) {
    const lines = fs.readFileSync(file, 'utf8').split('\n').filter((l) => l.trim() !== '');
    const head = lines.shift().split('\t');
    return lines.map((line, n) => {
        const cells = line.split('\t');
        if (cells.length !== head.length)
            fail(`${path.basename(file)} line ${n + 2}: ${cells.length} cells, expected ${head.length}`);
        return Object.fromEntries(head.map((h, i) => [h, cells[i]]));
    });
}

const sha512 = (buf) => 'sha512-' + createHash('sha512').update(buf).digest('base64');
const sha256 = (buf) => createHash('sha256').update(buf).digest('hex');
const folderOf = (family) => family.replace(/\s+/g, '');
const cacheName = (ref) => ref.replace(/^@/, '').replace(/[/@]/g, '-') + '.tgz';

function cacheDir() {
    const base = process.env.XDG_CACHE_HOME || path.join(os.homedir(), '.cache');
    return path.join(base, 'leafwrighter-fonts');
}

function run(cmd, argv, cwd) {
    return new Promise((resolve) => {
        const child = spawn(cmd, argv, { cwd, stdio: ['ignore', 'pipe', 'pipe'] });
        let stdout = '', stderr = '';
        child.stdout.on('data', (d) => (stdout += d));
        child.stderr.on('data', (d) => (stderr += d));
        child.on('error', (e) => resolve({ code: -1, stdout, stderr: String(e) }));
        child.on('close', (code) => resolve({ code, stdout, stderr }));
    });
}

// Downloads the given packages with `npm pack`, several npm processes at once, into the cache.
async function download(pkgs, cache) {
    const work = fs.mkdtempSync(path.join(cache, 'tmp-'));
    try {
        const chunks = Array.from({ length: Math.min(PARALLEL, pkgs.length) }, () => []);
        pkgs.forEach((p, i) => chunks[i % chunks.length].push(p));
        const results = await Promise.all(chunks.map(async (chunk, i) => {
            const dir = path.join(work, String(i));
            fs.mkdirSync(dir);
            const refs = chunk.map((p) => p.ref);
            const r = await run('npm', ['pack', ...refs, '--pack-destination', dir, '--json',
                '--ignore-scripts', '--loglevel=error', '--no-fund', '--no-audit'], dir);
            return { chunk, dir, r };
        }));
        for (const { chunk, dir, r } of results) {
            if (r.code !== 0)
                fail(`npm pack failed (is the network or the npm registry reachable?)\n${r.stderr.trim()}`);
            let packed;
            try {
                packed = JSON.parse(r.stdout);
            } catch {
                fail(`npm pack gave no readable answer:\n${r.stdout}\n${r.stderr}`);
            }
            for (const p of chunk) {
                const entry = packed.find((e) => e.id === p.ref || `${e.name}@${e.version}` === p.ref);
                if (!entry)
                    fail(`npm pack did not return ${p.ref}`);
                const data = fs.readFileSync(path.join(dir, entry.filename));
                const got = sha512(data);
                if (got !== p.integrity)
                    fail(`hash mismatch for ${p.ref}: tarball sha512 is ${got}, the lock expects ${p.integrity}`);
                const tmp = path.join(dir, cacheName(p.ref) + '.part');
                fs.writeFileSync(tmp, data);
                fs.renameSync(tmp, path.join(cache, cacheName(p.ref)));
                p.data = data;
            }
        }
    } finally {
        fs.rmSync(work, { recursive: true, force: true });
    }
}

// The regular files of a .tgz, by path (ustar, with pax and GNU long names).
function untar(tgz) {
    const tar = zlib.gunzipSync(tgz);
    const files = new Map();
    const text = (b, from, len) => {
        const s = b.subarray(from, from + len);
        const end = s.indexOf(0);
        return s.subarray(0, end < 0 ? s.length : end).toString('utf8');
    };
    let longName = null;
    for (let off = 0; off + 512 <= tar.length;) {
        const h = tar.subarray(off, off + 512);
        if (h.every((b) => b === 0))
            break;
        const size = parseInt(text(h, 124, 12).trim() || '0', 8);
        const type = String.fromCharCode(h[156] || 48);
        const prefix = text(h, 257, 6).startsWith('ustar') ? text(h, 345, 155) : '';
        let name = prefix ? `${prefix}/${text(h, 0, 100)}` : text(h, 0, 100);
        const body = tar.subarray(off + 512, off + 512 + size);
        off += 512 + Math.ceil(size / 512) * 512;
        if (type === 'x') {
            const m = /(?:^|\n)\d+ path=([^\n]*)\n/.exec(body.toString('utf8'));
            longName = m ? m[1] : null;
            continue;
        }
        if (type === 'L') {
            longName = text(body, 0, body.length);
            continue;
        }
        if (longName !== null)
            name = longName;
        longName = null;
        if (type === '0' || type === '\0')
            files.set(name, Buffer.from(body));
    }
    return files;
}

async function main() {
    const opt = args();
    const lock = readTsv(path.join(opt.tools, 'fetch-fonts.lock.tsv'));
    const groups = new Map(readTsv(path.join(opt.tools, 'fetch-fonts.groups.tsv')).map((r) => [r.family, r.group]));
    const licenses = readTsv(path.join(opt.tools, 'fetch-fonts.licenses.tsv'));

    // Every package once, with its pinned integrity.
    const pkgs = new Map();
    const want = (name, version, integrity) => {
        const ref = `${name}@${version}`;
        const known = pkgs.get(ref);
        if (known && known.integrity !== integrity)
            fail(`the lock gives two different hashes for ${ref}`);
        if (!known)
            pkgs.set(ref, { ref, integrity });
    };
    for (const r of lock)
        want(r.npm_package, r.version, r.tarball_integrity);
    for (const l of licenses)
        want(l.package, l.version, l.tarball_integrity);

    const cache = cacheDir();
    fs.mkdirSync(cache, { recursive: true });
    const missing = [];
    for (const p of pkgs.values()) {
        const file = path.join(cache, cacheName(p.ref));
        if (fs.existsSync(file)) {
            const data = fs.readFileSync(file);
            if (sha512(data) === p.integrity) {
                p.data = data;
                continue;
            }
            fs.rmSync(file, { force: true }); // damaged or stale: fetch again
        }
        missing.push(p);
    }
    if (missing.length) {
        process.stdout.write(`fetch-fonts: downloading ${missing.length} font package(s) from the npm registry\n`);
        await download(missing, cache);
    }

    const tarCache = new Map();
    const filesOf = (ref) => {
        if (!tarCache.has(ref))
            tarCache.set(ref, untar(pkgs.get(ref).data));
        return tarCache.get(ref);
    };
    const extract = (ref, inner, sha, bytes) => {
        const data = filesOf(ref).get(inner);
        if (!data)
            fail(`${ref} has no file ${inner}`);
        if (sha !== undefined && sha256(data) !== sha)
            fail(`hash mismatch for ${ref} ${inner}: sha256 is ${sha256(data)}, the lock expects ${sha}`);
        if (bytes !== undefined && data.length !== Number(bytes))
            fail(`size mismatch for ${ref} ${inner}: ${data.length} bytes, the lock expects ${bytes}`);
        return data;
    };

    // Lay everything out in a fresh folder, then swap it in, so a failed run leaves no half state.
    const out = opt.out;
    stage = `${out}.tmp-${process.pid}`;
    fs.rmSync(stage, { recursive: true, force: true });
    fs.mkdirSync(stage, { recursive: true });

    const families = new Map(); // family -> { folder, template: [], standin: [], license }
    const aliases = {};
    for (const r of lock) {
        const ref = `${r.npm_package}@${r.version}`;
        const folder = folderOf(r.family);
        if (!families.has(r.family))
            families.set(r.family, { folder, ref, template: [], standin: [], ofl: r.ofl_source });
        const fam = families.get(r.family);
        const file = path.posix.basename(r.path_in_package);
        const row = { file, weight: Number(r.weight), italic: r.italic === '1',
                      url: FILE_PREFIX + ref + '/' + r.path_in_package.replace(/^package\//, '') };
        (r.set.startsWith('template') ? fam.template : fam.standin).push(row);
        fs.mkdirSync(path.join(stage, folder), { recursive: true });
        fs.writeFileSync(path.join(stage, folder, file), extract(ref, r.path_in_package, r.sha256, r.bytes));
        for (const name of r.macos_names.split(',').map((s) => s.trim()).filter(Boolean)) {
            if (aliases[name] && aliases[name] !== r.postscript_name)
                fail(`platform name ${name} stands for two faces in the lock`);
            aliases[name] = r.postscript_name;
        }
    }

    const licenseByPackage = new Map(licenses.map((l) => [`${l.package}@${l.version}`, l]));
    const manifest = [];
    const standins = [];
    const byFace = (a, b) => a.weight - b.weight || Number(a.italic) - Number(b.italic) || a.file.localeCompare(b.file);
    for (const [family, fam] of [...families.entries()].sort((a, b) => a[0].localeCompare(b[0]))) {
        // The licence: LICENSE_FONT of the family's own package, or a file named in ofl_source.
        let text, licenseURL;
        if (fam.ofl === 'LICENSE_FONT') {
            text = extract(fam.ref, 'package/LICENSE_FONT');
            licenseURL = `${FILE_PREFIX}${fam.ref}/LICENSE_FONT`;
        } else {
            const [ref, inner] = fam.ofl.split(/\s+/);
            const l = licenseByPackage.get(ref);
            if (!l || l.path_in_package !== inner)
                fail(`no pinned licence package for "${fam.ofl}" (add it to fetch-fonts.licenses.tsv)`);
            text = extract(ref, inner, l.sha256);
            licenseURL = `${FILE_PREFIX}${ref}/${inner.replace(/^package\//, '')}`;
        }
        if (!text.toString('utf8').includes('SIL OPEN FONT LICENSE'))
            fail(`the licence text of ${family} is not the SIL Open Font License`);
        fs.writeFileSync(path.join(stage, fam.folder, 'OFL.txt'), text);

        fam.template.sort(byFace);
        fam.standin.sort(byFace);
        if (fam.template.length) {
            const group = groups.get(family);
            if (!group)
                fail(`no group for the family ${family} in fetch-fonts.groups.tsv`);
            manifest.push({
                family, group, folder: fam.folder,
                files: fam.template.map((f) => f.file),
                license: LICENSE,
                source: SOURCE_PREFIX + fam.folder.toLowerCase(),
                fileURLs: fam.template.map((f) => f.url),
                licenseURL,
            });
        }
        if (fam.standin.length)
            standins.push({ family, folder: fam.folder, files: fam.standin.map((f) => f.file) });
    }
    const sortedAliases = Object.fromEntries(Object.entries(aliases).sort((a, b) => a[0].localeCompare(b[0])));
    fs.writeFileSync(path.join(stage, 'fonts-manifest.json'), JSON.stringify(manifest, null, 2) + '\n');
    fs.writeFileSync(path.join(stage, 'fonts-standins.json'),
                     JSON.stringify({ families: standins, aliases: sortedAliases }, null, 2) + '\n');

    fs.rmSync(out, { recursive: true, force: true });
    fs.mkdirSync(path.dirname(out), { recursive: true });
    fs.renameSync(stage, out);
    stage = null;
    process.stdout.write(`fetch-fonts: ${lock.length} font files in ${manifest.length} families ` +
                         `(+${standins.length} stand-in folders) at ${out}\n`);
}

main().catch((e) => {
    if (stage)
        fs.rmSync(stage, { recursive: true, force: true });
    process.stderr.write(`fetch-fonts: ${e instanceof FetchError ? e.message : (e && e.stack) || e}\n`);
    process.exit(1);
});
