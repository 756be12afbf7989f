"""Pictures of W with matplotlib: W of every atom, and the spread of W per kind.

Both take a wsphere.Result or the tables of a report (wsphere.read_report) and
return the matplotlib Figure; save it with fig.savefig("w.png")."""

import math

import numpy as np


def _atoms(source):
    """Names, kind symbols, W and the kinds in order, from a Result or a Report."""
    if hasattr(source, "kind_symbols"):
        names = list(source.names)
        kinds = source.kind_symbols()
        w = np.asarray(source.w, dtype=float)
        order = [k for k in source.kinds if k in kinds] + (["" ] if "" in kinds else [])
        return names, kinds, w, order
    atoms = source.atoms()
    if not atoms:
        raise ValueError("the report lists no W values (switch on the W table or the kind lists)")
    names = [atom[1] for atom in atoms]
    kinds = [atom[2] for atom in atoms]
    w = np.array([atom[3] for atom in atoms], dtype=float)
    order = []
    for kind in [k.symbol for k in source.kinds] + kinds:
        if kind in kinds and kind not in order:
            order.append(kind)
    return names, kinds, w, order


def _colours(order):
    import matplotlib
    palette = matplotlib.colormaps["tab10"]
    return {kind: palette(i % 10) for i, kind in enumerate(order)}


def _new_figure(size):
    # A Figure of its own, not pyplot's: no window, no global state.
    from matplotlib.figure import Figure
    return Figure(figsize=size, layout="constrained")


def w_by_atom(source, label=5, ax=None, log=None):
    """W of every atom in input order, one bar per atom (points above 200
    atoms), coloured by kind; the `label` atoms of largest W are named.
    `log` (default: when finite W span more than three decades) sets a
    logarithmic W axis."""
    names, kinds, w, order = _atoms(source)
    colours = _colours(order)
    figure = ax.figure if ax is not None else _new_figure((max(6.0, min(16.0, 0.12 * len(w) + 4)), 4.5))
    ax = ax if ax is not None else figure.add_subplot()
    positions = np.arange(1, len(w) + 1)
    finite = w[np.isfinite(w) & (w > 0)]
    if log is None:
        log = finite.size > 0 and finite.max() / finite.min() > 1.0e3
    for kind in order:
        chosen = np.array([k == kind for k in kinds])
        label_text = kind or "no kind"
        if len(w) <= 200:
            ax.bar(positions[chosen], w[chosen], width=0.8, color=colours[kind], label=label_text)
        else:
            ax.plot(positions[chosen], w[chosen], "o", markersize=3, color=colours[kind], label=label_text)
    ranked = [i for i in np.argsort(-np.nan_to_num(w, nan=-np.inf), kind="stable") if not math.isnan(w[i])]
    for i in ranked[:label]:
        ax.annotate(names[i], (positions[i], w[i]), xytext=(0, 4), textcoords="offset points",
                    ha="center", va="bottom", fontsize=8, rotation=90)
    if log:
        ax.set_yscale("log")
    ax.set_xlabel("atom")
    ax.set_ylabel("W")
    ax.set_xlim(0, len(w) + 1)
    ax.margins(y=0.15)
    ax.legend(title="kind", fontsize=8, loc="upper left", bbox_to_anchor=(1.0, 1.0))
    ax.set_title("W by atom")
    return figure


def w_by_kind(source, ax=None, log=None):
    """The spread of W in every kind: a box per kind with its atoms as points."""
    names, kinds, w, order = _atoms(source)
    colours = _colours(order)
    figure = ax.figure if ax is not None else _new_figure((max(4.0, 1.2 * len(order) + 2), 4.5))
    ax = ax if ax is not None else figure.add_subplot()
    groups = [w[np.array([k == kind for k in kinds]) & np.isfinite(w)] for kind in order]
    finite = w[np.isfinite(w) & (w > 0)]
    if log is None:
        log = finite.size > 0 and finite.max() / finite.min() > 1.0e3
    boxes = ax.boxplot([g if g.size else [np.nan] for g in groups], showfliers=False, patch_artist=True,
                       medianprops={"color": "black"})
    rng = np.random.default_rng(0)
    for position, (kind, group, box) in enumerate(zip(order, groups, boxes["boxes"]), start=1):
        box.set_facecolor((*colours[kind][:3], 0.35))
        jitter = rng.uniform(-0.15, 0.15, group.size)
        ax.plot(position + jitter, group, "o", markersize=3, color=colours[kind])
    ax.set_xticks(range(1, len(order) + 1), [f"{k or 'no kind'}\n({g.size})" for k, g in zip(order, groups)])
    if log:
        ax.set_yscale("log")
    ax.set_ylabel("W")
    ax.set_title("W by kind")
    return figure


def both(source, path=None, label=5):
    """W by atom above W by kind in one figure; saved to `path` when given."""
    figure = _new_figure((12.0, 8.0))
    top, bottom = figure.subfigures(2, 1)
    w_by_atom(source, label=label, ax=top.add_subplot())
    w_by_kind(source, ax=bottom.add_subplot())
    if path is not None:
        figure.savefig(path, dpi=120)
    return figure
