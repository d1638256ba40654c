// Writes the word lists that bench/suggestion-quality measures the suggestions on, each line
// "query<TAB>expected headword", from real dictionaries' text and a public misspelling list. The
// lemmas come from morphologies other than the program's own: compromise for English and az
// (OpenCorpora) for Russian.
//
//   node suggestion-quality-data.js MODULES OUT
'use strict';
const fs = require('fs');
const path = require('path');
const { execSync } = require('child_process');

const [modules, out] = process.argv.slice(2);
const compromise = require(path.join(modules, 'compromise'));
const nlp = compromise.default || compromise;
const Az = require(path.join(modules, 'az'));
const root = path.resolve(__dirname, '..');
const SAMPLE = 1000;

// The same choice on every run: words ordered by a hash of their text.
function hash(text) {
  let h = 2166136261;
  for (const c of text) h = Math.imul(h ^ c.codePointAt(0), 16777619) >>> 0;
  return h;
}
function sample(pairs, part = 0) {
  const seen = new Set();
  const unique = pairs.filter(([q]) => !seen.has(q) && seen.add(q));
  unique.sort((a, b) => hash(a[0]) - hash(b[0]));
  return unique.slice(part * SAMPLE, (part + 1) * SAMPLE);
}
function write(name, pairs) {
  fs.writeFileSync(path.join(out, name), pairs.map((p) => p.join('\t')).join('\n') + '\n');
  console.log(`${name}: ${pairs.length}`);
}
function dictd(name) {
  return execSync(`zcat /usr/share/dictd/${name}.dict.dz`, { maxBuffer: 1 << 30 }).toString();
}
function headwords(name) {
  const set = new Set();
  for (const line of fs.readFileSync(`/usr/share/dictd/${name}.index`, 'utf8').split('\n')) {
    const word = line.split('\t')[0];
    if (word && !word.startsWith('00-')) set.add(word.toLowerCase());
  }
  return set;
}
function counts(text, re) {
  const seen = new Map();
  for (const m of text.matchAll(re)) {
    const w = m[0].toLowerCase();
    seen.set(w, (seen.get(w) || 0) + 1);
  }
  return seen;
}

// A UTF-8 dictionary of the given headwords, written directly so that no е spelling is added
// beside the ё one.
function writeDictionary(folder, id, words) {
  const name = path.basename(folder);
  fs.mkdirSync(folder, { recursive: true });
  const inf = `FORMAT_VERSION=1.1\r\nENCODING=UTF-8\r\nDIC_ID=${id}\r\nDIC_VERSION=1.0\r\n`
    + `CATEGORY=EXP\r\nSHORT_NAME=${name}\r\nLONG_NAME=${name}\r\nSOURCE=az\r\n`;
  fs.writeFileSync(path.join(folder, name + '.inf'), Buffer.from(inf, 'utf16le'));
  let idx = '';
  for (const word of words) idx += `${word}\t0\n`;
  fs.writeFileSync(path.join(folder, name + '.idx'), idx);
  fs.writeFileSync(path.join(folder, name + '.dat'), 'лемма\n');
}

fs.mkdirSync(out, { recursive: true });
const gcide = headwords('gcide');
const english = new Set([...gcide, ...headwords('wn')]);

// English inflected forms from GCIDE's articles: words used at least three times whose lemma
// differs and is a headword.
const englishForms = [];
for (const [word, n] of counts(dictd('gcide'), /\b[a-z]{3,}\b/g)) {
  if (n < 3) continue;
  const doc = nlp(word);
  doc.compute('root');
  const term = doc.json()[0]?.terms[0];
  if (!term || !term.root || term.root === word || term.tags.includes('Copula')) continue;
  if (!['Verb', 'Noun', 'Adjective'].some((t) => term.tags.includes(t))) continue;
  if (gcide.has(term.root)) englishForms.push([word, term.root]);
}
write('english-forms.tsv', sample(englishForms));

// French words without their accents: the accented headwords of FreeDict's French-English
// dictionary.
const french = [...headwords('freedict-fra-eng')]
  .filter((w) => /^[a-zàâäçéèêëîïôöùûüÿœæ' -]+$/.test(w) && /[àâäçéèêëîïôöùûüÿ]/.test(w))
  .map((w) => [w.normalize('NFD').replace(/\p{M}/gu, ''), w]);
write('french-accents.tsv', sample(french));

// Common misspellings whose one correction is a headword and which are none themselves.
const misspellings = [];
for (const line of fs
  .readFileSync('/usr/lib/python3/dist-packages/codespell_lib/data/dictionary.txt', 'utf8')
  .split('\n')) {
  const [wrong, right] = line.split('->');
  if (!right || right.includes(',') || !/^[a-z]+$/.test(wrong) || !/^[a-z]+$/.test(right)) continue;
  if (gcide.has(right) && !english.has(wrong)) misspellings.push([wrong, right]);
}
write('english-misspellings.tsv', sample(misspellings));
// A second list with none of the first's words, to tune the ranking on: the first is for checking.
write('english-misspellings-tuning.tsv', sample(misspellings, 1));

// Russian: the words of Russian dictionary articles (the sample dictionaries and FreeDict's
// English-Russian one), lemmatised by az. Their lemmas make a headword list of their own.
Az.Morph.init(path.join(modules, 'az', 'dicts'), () => {
  let text = dictd('freedict-eng-rus');
  const cp1251 = new TextDecoder('windows-1251');
  for (const name of ['tolk', 'enc', 'misc'])
    text += cp1251.decode(fs.readFileSync(path.join(root, 'dics', name, name + '.dat')));
  const lemmas = new Map();
  const forms = [];
  for (const [word] of counts(text, /[а-яё]{3,}/gi)) {
    const parses = Az.Morph(word);
    if (!parses.length || parses[0].score < 0.3) continue;
    const lemma = parses[0].normalize().word;
    lemmas.set(lemma, true);
    if (lemma !== word && lemma.replace(/ё/g, 'е') !== word) forms.push([word, lemma]);
  }
  write('russian-forms.tsv', sample(forms));
  const all = [...lemmas.keys()].sort();
  writeDictionary(path.join(out, 'dics', 'rulemmas'), 'DB1E0001', all);
  const yo = all.filter((w) => w.includes('ё')).map((w) => [w.replace(/ё/g, 'е'), w]);
  // A stress mark after the first vowel: where it falls does not matter to the lookup.
  const stressed = all
    .filter((w) => w.length > 3)
    .map((w) => [w.replace(/([аеиоуыэюяё])/, '$1\u0301'), w]);
  write('russian-yo-stress.tsv', sample(yo).concat(sample(stressed).slice(0, SAMPLE - yo.length)));
});
