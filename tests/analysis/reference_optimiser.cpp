#include "reference_optimiser.hpp"

#include <cmath>

#include "analysis/optimise.hpp"
#include "analysis/polish.hpp"
#include "core/geodesy.hpp"

namespace orlogix::test {

namespace {

struct Tri {
    std::size_t n = 0;
    std::vector<int32_t> v;
    explicit Tri(std::size_t count) : n(count), v(count * (count + 1) / 2, 0) {}
    int32_t& at(std::size_t i, std::size_t j) { return v[i * (n - 1) - i * (i - 1) / 2 + j]; }
};

void store_tri(const std::vector<GeoPosition>& geo, const std::array<uint32_t, 5>& idx, TriangleResult& out) {
    out.start = idx[0];
    out.tp1 = idx[1];
    out.tp2 = idx[2];
    out.tp3 = idx[3];
    out.end = idx[4];
    out.sides[0] = distance_or_zero(geo[idx[1]], geo[idx[2]]);
    out.sides[1] = distance_or_zero(geo[idx[2]], geo[idx[3]]);
    out.sides[2] = distance_or_zero(geo[idx[1]], geo[idx[3]]);
    out.gap = distance_or_zero(geo[idx[0]], geo[idx[4]]);
    out.score = out.sides[0] + out.sides[1] + out.sides[2] - out.gap;
}

}  // namespace

int reference_optimise(const std::vector<TrackPosition>& positions, uint32_t gap, OptimisationResults& res) {
    res = OptimisationResults{};
    const std::size_t N = positions.size();
    if (N == 0) return 0;
    // 1. projection
    int32_t lo = positions[0].longitude, hi = lo;
    for (const TrackPosition& p : positions) {
        if (p.longitude < lo) lo = p.longitude;
        if (p.longitude > hi) hi = p.longitude;
    }
    const double lon0 = (semicircle_to_radians(lo) + semicircle_to_radians(hi)) / 2.0;
    std::vector<uint32_t> map;
    if (N <= 2000) {
        for (std::size_t i = 0; i < N; ++i) map.push_back(static_cast<uint32_t>(i));
    } else {
        std::size_t acc = N;
        for (std::size_t i = 0; i < N; ++i) {
            acc += 1999;
            if (acc >= N) {
                map.push_back(static_cast<uint32_t>(i));
                acc -= N;
            }
        }
    }
    const std::size_t n = map.size();
    std::vector<PlanePoint> xy;
    for (uint32_t i : map)
        xy.push_back(tm_project(semicircles_to_radians(positions[i].latitude, positions[i].longitude), lon0));
    // 2, 3. tables and the distance matrix
    Tri D(n), G(n), W(n);
    std::vector<int32_t> R(n, 0), C(n, 0);
    std::vector<uint32_t> Ra(n), Ca(n);
    for (std::size_t i = 0; i < n; ++i) {
        Ra[i] = static_cast<uint32_t>(i + 1 < n ? i + 1 : n - 1);
        Ca[i] = static_cast<uint32_t>(i > 0 ? i - 1 : 0);
    }
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = i; j < n; ++j) {
            if (j == i) {
                D.at(i, j) = 0;
                continue;
            }
            const double dx = xy[j].x - xy[i].x, dy = xy[j].y - xy[i].y;
            const int32_t v = static_cast<int32_t>(std::sqrt(dx * dx + dy * dy) + 0.5);
            D.at(i, j) = v;
            if (v > R[i]) { R[i] = v; Ra[i] = static_cast<uint32_t>(j); }
            if (v > C[j]) { C[j] = v; Ca[j] = static_cast<uint32_t>(i); }
        }
    const std::vector<GeoPosition> geo = positions_in_radians(positions);
    auto finish = [&](std::array<uint32_t, 5> pts, std::size_t k, PathResult& out) {
        for (std::size_t s = 0; s < k; ++s) pts[s] = map[pts[s]];
        out = finish_path(geo, pts, k);
    };
    // 4. free distances
    if (n >= 2) {
        int64_t best = -1; std::size_t bi = 0;
        for (std::size_t i = 0; i <= n - 2; ++i)
            if (R[i] >= best) { best = R[i]; bi = i; }
        finish({static_cast<uint32_t>(bi), Ra[bi]}, 2, res.two);
    }
    if (n >= 3) {
        int64_t best = -1; std::size_t bm = 0;
        for (std::size_t m = 1; m <= n - 2; ++m)
            if (int64_t{C[m]} + R[m] >= best) { best = int64_t{C[m]} + R[m]; bm = m; }
        finish({Ca[bm], static_cast<uint32_t>(bm), Ra[bm]}, 3, res.three);
    }
    if (n >= 4) {
        int64_t best = -1; std::size_t bb = 0, bc = 0;
        for (std::size_t b = 1; b <= n - 2; ++b)
            for (std::size_t c = b + 1; c <= n - 2; ++c) {
                const int64_t v = int64_t{C[b]} + D.at(b, c) + R[c];
                if (v >= best) { best = v; bb = b; bc = c; }
            }
        finish({Ca[bb], static_cast<uint32_t>(bb), static_cast<uint32_t>(bc), Ra[bc]}, 4, res.four);
    }
    if (n >= 5) {
        int64_t best = -1; std::size_t rb = 0, rc = 0, rd = 0;
        for (std::size_t c = 2; c <= n - 3; ++c) {
            int64_t left = -1, right = -1; std::size_t lb = 0, ld = 0;
            for (std::size_t b = 1; b <= c - 1; ++b)
                if (int64_t{C[b]} + D.at(b, c) >= left) { left = int64_t{C[b]} + D.at(b, c); lb = b; }
            for (std::size_t d = c + 1; d <= n - 2; ++d)
                if (int64_t{D.at(c, d)} + R[d] >= right) { right = int64_t{D.at(c, d)} + R[d]; ld = d; }
            if (left + right >= best) { best = left + right; rb = lb; rc = c; rd = ld; }
        }
        finish({Ca[rb], static_cast<uint32_t>(rb), static_cast<uint32_t>(rc), static_cast<uint32_t>(rd), Ra[rd]}, 5,
               res.five);
    }
    if (gap == 0 || n < 3) return 0;
    // 6. out-and-return
    {
        int64_t best = -1000000000; std::size_t bi = 0, bj = 0, bk = 0;
        for (std::size_t i = 0; i <= n - 3; ++i)
            for (std::size_t j = i + 2; j <= n - 1; ++j) {
                if (!(int64_t{D.at(i, j)} < int64_t{gap})) continue;
                for (std::size_t k = i + 1; k <= j - 1; ++k) {
                    const int64_t s = 2 * int64_t{D.at(i, k)} - D.at(i, j);
                    if (s >= best) { best = s; bi = i; bj = j; bk = k; }
                }
            }
        if (best >= 0) {
            std::array<uint32_t, 5> idx{map[bi], map[bk], map[bj]};
            const PolishOutcome p = polish(geo, idx, 3, PolishRule::OutAndReturn, gap);
            if (p.found && p.score > 0) idx = p.index;
            OutAndReturnResult& o = res.out_and_return;
            o.start = idx[0]; o.turn = idx[1]; o.end = idx[2];
            o.leg = distance_or_zero(geo[idx[0]], geo[idx[1]]);
            o.gap = distance_or_zero(geo[idx[0]], geo[idx[2]]);
            o.score = 2 * o.leg - o.gap;
        }
    }
    // 7.1 G and W
    {
        int32_t run = INT32_MAX; int32_t pair = 0;
        for (std::size_t l = n - 1; l >= 1; --l) {
            if (D.at(0, l) < run) { run = D.at(0, l); pair = static_cast<int32_t>(l); }
            G.at(0, l) = run; W.at(0, l) = pair;
        }
        for (std::size_t k = 1; k <= n - 2; ++k) {
            run = INT32_MAX; pair = 0;
            for (std::size_t l = n - 1; l >= k + 1; --l) {
                if (D.at(k, l) < run) { run = D.at(k, l); pair = static_cast<int32_t>(k * 65536 + l); }
                if (G.at(k - 1, l) < run) { run = G.at(k - 1, l); pair = W.at(k - 1, l); }
                G.at(k, l) = run; W.at(k, l) = pair;
            }
        }
    }
    // 7.2 the search
    int64_t flat = -1, fai = -1;
    std::array<uint32_t, 5> fl{}, fa{};
    for (std::size_t k = 0; k <= n - 3; ++k)
        for (std::size_t l = k + 2; l <= n - 1; ++l) {
            if (!(int64_t{G.at(k, l)} < int64_t{gap})) continue;
            for (std::size_t m = k + 1; m <= l - 1; ++m) {
                const int64_t a = D.at(k, m), b = D.at(m, l), c = D.at(k, l);
                const int64_t P = a + b + c, S = P - G.at(k, l);
                const uint32_t w = static_cast<uint32_t>(W.at(k, l));
                if (S >= flat) {
                    flat = S;
                    fl = {w / 65536, static_cast<uint32_t>(k), static_cast<uint32_t>(m), static_cast<uint32_t>(l), w % 65536};
                }
                const int64_t least = P * 7 / 25;
                if (S >= fai && a >= least && b >= least && c >= least) {
                    fai = S;
                    fa = {w / 65536, static_cast<uint32_t>(k), static_cast<uint32_t>(m), static_cast<uint32_t>(l), w % 65536};
                }
            }
        }
    // 7.3 polishing
    if (flat >= 0) {
        std::array<uint32_t, 5> idx{};
        for (int s = 0; s < 5; ++s) idx[s] = map[fl[s]];
        const PolishOutcome p = polish(geo, idx, 5, PolishRule::FlatTriangle, gap);
        if (p.found && p.score > 0) idx = p.index;
        store_tri(geo, idx, res.flat);
    }
    if (fai >= 0) {
        std::array<uint32_t, 5> idx{};
        for (int s = 0; s < 5; ++s) idx[s] = map[fa[s]];
        const PolishOutcome p = polish(geo, idx, 5, PolishRule::FaiTriangle, gap);
        if (p.found && p.score > 0) idx = p.index;
        store_tri(geo, idx, res.fai);
    }
    return 0;
}

}  // namespace orlogix::test
