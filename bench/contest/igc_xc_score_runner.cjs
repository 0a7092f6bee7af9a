// Scores IGC files with the peer igc-xc-score, one rule type at a time, and
// prints one JSON line per flight and type: score, distance, optimal flag and
// the wall time in milliseconds. Usage:
//   node igc_xc_score_runner.cjs NODE_MODULES_DIR RULES MAX_SECONDS file.igc...
// RULES is XContest, FFVL or FAI; hp=true (Vincenty distances) throughout.
'use strict';
const fs = require('fs');
const path = require('path');
const [modules, rules, maxSeconds, ...files] = process.argv.slice(2);
const IGCParser = require(path.join(modules, 'igc-parser'));
const { scoringRules, solver } = require(path.join(modules, 'igc-xc-score'));

for (const file of files) {
    const flight = IGCParser.parse(fs.readFileSync(file, 'utf8'), { lenient: true });
    for (const type of scoringRules[rules]) {
        const start = process.hrtime.bigint();
        const limit = Number(maxSeconds) * 1000;
        const it = solver(flight, [type], { hp: true, maxcycle: 100 });
        let step = it.next();
        while (!step.done && Number(process.hrtime.bigint() - start) / 1e6 < limit) step = it.next();
        const ms = Number(process.hrtime.bigint() - start) / 1e6;
        const r = step.value;
        const info = r.scoreInfo || {};
        console.log(JSON.stringify({
            flight: path.basename(file), rules, type: type.name, code: type.code,
            score: r.score, distance: info.distance, penalty: info.penalty,
            optimal: !!r.optimal, ms: Math.round(ms)
        }));
    }
}
