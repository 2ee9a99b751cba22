// Shared by the resource fetchers: pinned npm tarballs, checked (sha512) and cached under
// ${XDG_CACHE_HOME:-$HOME/.cache}/<cache name>, unpacked in memory, each file checked (sha256),
// and an output folder that is swapped in whole or not at all.
import { spawn } from 'node:child_process';
import { createHash } from 'node:crypto';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import zlib from 'node:zlib';

const PARALLEL = 8;

export class FetchError extends Error {}
export function fail(message) {
    throw new FetchError(message);
}

// --key value pairs; `required` must all be present, nothing else is accepted.
export function parseArgs(usage, defaults, keys, required) {
    const out = { ...defaults };
    const argv = process.argv.slice(2);
    for (let i = 0; i < argv.length; i += 2) {
        const key = argv[i].replace(/^--/, '');
        if (!keys.includes(key) || argv[i + 1] === undefined)
            fail(`usage: ${usage} (bad argument "${argv[i]}")`);
        out[key] = path.resolve(argv[i + 1]);
    }
    for (const key of required)
        if (!out[key])
            fail(`usage: ${usage}`);
    return out;
}

export function readTsv(file) {
    const lines = fs.readFileSync(file, 'utf8').split('\n').filter((l) => l.trim() !== '');
    const head = lines.shift().split('\t');
    return lines.map((line, n) => {
        const cells = line.split('\t');
        if (cells.length !== head.length)
            fail(`${path.basename(file)} line ${n + 2}: ${cells.length} cells, expected ${head.length}`);
        return Object.fromEntries(head.map((h, i) => [h, cells[i]]));
    });
}

export const sha512 = (buf) => 'sha512-' + createHash('sha512').update(buf).digest('base64');
export const sha256 = (buf) => createHash('sha256').update(buf).digest('hex');
const cacheName = (ref) => ref.replace(/^@/, '').replace(/[/@]/g, '-') + '.tgz';

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

// The pinned packages of a lock. want(name, version, integrity) adds one (the same package twice
// must carry the same hash); load(cacheName, what) makes every tarball available, from the cache
// or the registry; extract(ref, inner, sha256?, bytes?) returns one checked file.
export class Packages {
    constructor() {
        this.pkgs = new Map();
        this.unpacked = new Map();
    }

    want(name, version, integrity) {
        const ref = `${name}@${version}`;
        const known = this.pkgs.get(ref);
        if (known && known.integrity !== integrity)
            fail(`the lock gives two different hashes for ${ref}`);
        if (!known)
            this.pkgs.set(ref, { ref, integrity });
        return ref;
    }

    async load(cacheSub, what) {
        const base = process.env.XDG_CACHE_HOME || path.join(os.homedir(), '.cache');
        const cache = path.join(base, cacheSub);
        fs.mkdirSync(cache, { recursive: true });
        const missing = [];
        for (const p of this.pkgs.values()) {
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
            process.stdout.write(`downloading ${missing.length} ${what} package(s) from the npm registry\n`);
            await download(missing, cache);
        }
    }

    extract(ref, inner, sha, bytes) {
        if (!this.unpacked.has(ref))
            this.unpacked.set(ref, untar(this.pkgs.get(ref).data));
        const data = this.unpacked.get(ref).get(inner);
        if (!data)
            fail(`${ref} has no file ${inner}`);
        if (sha !== undefined && sha256(data) !== sha)
            fail(`hash mismatch for ${ref} ${inner}: sha256 is ${sha256(data)}, the lock expects ${sha}`);
        if (bytes !== undefined && data.length !== Number(bytes))
            fail(`size mismatch for ${ref} ${inner}: ${data.length} bytes, the lock expects ${bytes}`);
        return data;
    }
}

// Runs `build(stage)` on a fresh folder beside `out` and swaps it in, so a failed run leaves no
// half state.
export async function buildFolder(out, build) {
    const stage = `${out}.tmp-${process.pid}`;
    fs.rmSync(stage, { recursive: true, force: true });
    fs.mkdirSync(stage, { recursive: true });
    try {
        await build(stage);
    } catch (e) {
        fs.rmSync(stage, { recursive: true, force: true });
        throw e;
    }
    fs.rmSync(out, { recursive: true, force: true });
    fs.mkdirSync(path.dirname(out), { recursive: true });
    fs.renameSync(stage, out);
}

// Runs a fetcher's main; any failure is printed with the tool's name and ends with status 1.
export function runTool(tool, main) {
    main().catch((e) => {
        process.stderr.write(`${tool}: ${e instanceof FetchError ? e.message : (e && e.stack) || e}\n`);
        process.exit(1);
    });
}
