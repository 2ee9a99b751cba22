#!/usr/bin/env node
// Fetches the bundled font families from the npm registry at pinned versions, checks every tarball
// (sha512) and every extracted file (sha256), and lays out Resources/Fonts:
//   <out>/<Folder>/<font files> + OFL.txt, <out>/fonts-manifest.json, <out>/fonts-standins.json,
//   <out>/fonts-ui.json (the faces of the application's own interface, set "ui" in the lock)
// Tarballs are cached under ${XDG_CACHE_HOME:-$HOME/.cache}/leafwrighter-fonts, so a second run needs
// no network. Usage: node fetch-fonts.mjs --out <dir> [--tools <dir with the .tsv files>]
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { Packages, buildFolder, fail, parseArgs, readTsv, runTool } from './npm-fetch.mjs';

const LICENSE = 'SIL Open Font License 1.1';
const SOURCE_PREFIX = 'https://github.com/google/fonts/tree/main/ofl/';
const FILE_PREFIX = 'https://cdn.jsdelivr.net/npm/';

const folderOf = (family) => family.replace(/\s+/g, '');

const USAGE = 'fetch-fonts.mjs --out <dir> [--tools <dir>]';

runTool('fetch-fonts', async () => {
    const opt = parseArgs(USAGE, { tools: path.dirname(fileURLToPath(import.meta.url)) }, ['out', 'tools'], ['out']);
    const lock = readTsv(path.join(opt.tools, 'fetch-fonts.lock.tsv'));
    const groups = new Map(readTsv(path.join(opt.tools, 'fetch-fonts.groups.tsv')).map((r) => [r.family, r.group]));
    const licenses = readTsv(path.join(opt.tools, 'fetch-fonts.licenses.tsv'));

    const pkgs = new Packages();
    for (const r of lock)
        r.ref = pkgs.want(r.npm_package, r.version, r.tarball_integrity);
    for (const l of licenses)
        pkgs.want(l.package, l.version, l.tarball_integrity);
    await pkgs.load('leafwrighter-fonts', 'font');

    let counts;
    await buildFolder(opt.out, async (stage) => {
        // family -> { folder, template: [], standin: [], ui: [], license }
        const families = new Map();
        const aliases = {};
        for (const r of lock) {
            const folder = folderOf(r.family);
            if (!families.has(r.family))
                families.set(r.family, { folder, ref: r.ref, template: [], standin: [], ui: [], ofl: r.ofl_source });
            const fam = families.get(r.family);
            const file = path.posix.basename(r.path_in_package);
            const row = { file, weight: Number(r.weight), italic: r.italic === '1',
                          url: FILE_PREFIX + r.ref + '/' + r.path_in_package.replace(/^package\//, '') };
            const kind = r.set === 'ui' ? 'ui' : r.set.startsWith('template') ? 'template' : 'standin';
            fam[kind].push(row);
            fs.mkdirSync(path.join(stage, folder), { recursive: true });
            fs.writeFileSync(path.join(stage, folder, file), pkgs.extract(r.ref, r.path_in_package, r.sha256, r.bytes));
            for (const name of r.macos_names.split(',').map((s) => s.trim()).filter(Boolean)) {
                if (kind === 'ui')
                    fail(`the interface face ${r.postscript_name} must not stand in for ${name}`);
                if (aliases[name] && aliases[name] !== r.postscript_name)
                    fail(`platform name ${name} stands for two faces in the lock`);
                aliases[name] = r.postscript_name;
            }
        }

        const licenseByPackage = new Map(licenses.map((l) => [`${l.package}@${l.version}`, l]));
        const manifest = [];
        const standins = [];
        const ui = [];
        const byFace = (a, b) => a.weight - b.weight || Number(a.italic) - Number(b.italic) || a.file.localeCompare(b.file);
        for (const [family, fam] of [...families.entries()].sort((a, b) => a[0].localeCompare(b[0]))) {
            // The licence: LICENSE_FONT of the family's own package, or a file named in ofl_source.
            let text, licenseURL;
            if (fam.ofl === 'LICENSE_FONT') {
                text = pkgs.extract(fam.ref, 'package/LICENSE_FONT');
                licenseURL = `${FILE_PREFIX}${fam.ref}/LICENSE_FONT`;
            } else {
                const [ref, inner] = fam.ofl.split(/\s+/);
                const l = licenseByPackage.get(ref);
                if (!l || l.path_in_package !== inner)
                    fail(`no pinned licence package for "${fam.ofl}" (add it to fetch-fonts.licenses.tsv)`);
                text = pkgs.extract(ref, inner, l.sha256);
                licenseURL = `${FILE_PREFIX}${ref}/${inner.replace(/^package\//, '')}`;
            }
            if (!text.toString('utf8').includes('SIL OPEN FONT LICENSE'))
                fail(`the licence text of ${family} is not the SIL Open Font License`);
            fs.writeFileSync(path.join(stage, fam.folder, 'OFL.txt'), text);

            for (const kind of ['template', 'standin', 'ui'])
                fam[kind].sort(byFace);
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
            if (fam.ui.length)
                ui.push({ family, folder: fam.folder, files: fam.ui.map((f) => f.file) });
        }
        const sortedAliases = Object.fromEntries(Object.entries(aliases).sort((a, b) => a[0].localeCompare(b[0])));
        const json = (name, value) => fs.writeFileSync(path.join(stage, name), JSON.stringify(value, null, 2) + '\n');
        json('fonts-manifest.json', manifest);
        json('fonts-standins.json', { families: standins, aliases: sortedAliases });
        json('fonts-ui.json', { families: ui });
        counts = { manifest: manifest.length, standins: standins.length, ui: ui.length };
    });
    process.stdout.write(`fetch-fonts: ${lock.length} font files in ${counts.manifest} families ` +
                         `(+${counts.standins} stand-in and ${counts.ui} interface folders) at ${opt.out}\n`);
});
