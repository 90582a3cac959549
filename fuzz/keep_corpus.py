#!/usr/bin/env python3
"""Replaces a target's kept corpus with a few inputs that reach most edges a run found.

    fuzz/keep_corpus.py BUILD_DIR TARGET [CORPUS_DIR [MAX_FILES]]

CORPUS_DIR defaults to BUILD_DIR/corpus/TARGET (what fuzz/run.sh grew). libFuzzer's
-merge=1 keeps every input that adds an edge to those before it: hundreds for the
reader. So its result only gives the candidates; the edges of each candidate alone
are then taken from a -merge=1 over that one input, and inputs are chosen greedily:
each time the one that reaches the most edges that neither the seeds nor the inputs
chosen before reach, the shorter on a tie, up to MAX_FILES (default 40). The edges
left to the fuzzer are each added by a single input of the run.
"""
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile


def merge(fuzzer, out, inputs, control=None):
    """Runs libFuzzer's merge of `inputs` into `out`, counting edges only."""
    flags = ["-merge=1", "-use_counters=0"]
    if control:
        flags.append("-merge_control_file=" + control)
    subprocess.run([fuzzer, *flags, out, inputs], check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def edges_of(fuzzer, path, scratch):
    """The edges an input, or all inputs of a folder together, reach."""
    one = os.path.join(scratch, "one")
    shutil.rmtree(one, ignore_errors=True)
    os.makedirs(os.path.join(one, "out"))
    if os.path.isdir(path):
        shutil.copytree(path, os.path.join(one, "in"))
    else:
        os.makedirs(os.path.join(one, "in"))
        shutil.copy(path, os.path.join(one, "in"))
    control = os.path.join(one, "control")
    merge(fuzzer, os.path.join(one, "out"), os.path.join(one, "in"), control)
    # Each input's line lists the edges new to those before it; together, all of them.
    with open(control) as f:
        return {e for line in f if line.startswith("COV ") for e in line.split()[2:]}


def seed_folders(source, target):
    """The folders run.sh seeds `target` from, each with the ending its files need."""
    folders = [(os.path.join(source, "seed", target), "")]
    if target in ("fuzz_load", "fuzz_listing", "fuzz_save"):
        root = os.path.dirname(source)
        folders += [(os.path.join(root, "examples"), ".cfg"), (os.path.join(root, "tests", "data"), ".cfg")]
    return folders


def main():
    if len(sys.argv) not in (3, 4, 5):
        sys.exit(__doc__)
    build, target = sys.argv[1], sys.argv[2]
    corpus = sys.argv[3] if len(sys.argv) >= 4 else os.path.join(build, "corpus", target)
    max_files = int(sys.argv[4]) if len(sys.argv) == 5 else 40
    source = os.path.dirname(os.path.abspath(__file__))
    kept = os.path.join(source, "corpus", target)

    fuzzer = os.path.join(build, "fuzz", target)
    with tempfile.TemporaryDirectory() as scratch:
        candidates = os.path.join(scratch, "candidates")
        os.mkdir(candidates)
        merge(fuzzer, candidates, corpus)
        files = [os.path.join(candidates, name) for name in sorted(os.listdir(candidates))]
        edges = {path: edges_of(fuzzer, path, scratch) for path in files}
        sizes = {path: os.path.getsize(path) for path in files}

        # What the seeds reach already needs no kept input.
        seeds = os.path.join(scratch, "seeds")
        os.mkdir(seeds)
        for folder, pattern in seed_folders(source, target):
            for root, _, names in os.walk(folder):
                for name in names:
                    if name.lower().endswith(pattern):
                        # Numbered, since names repeat across folders.
                        copy = f"{len(os.listdir(seeds))}_{name}"
                        shutil.copy(os.path.join(root, name), os.path.join(seeds, copy))
        seeded = edges_of(fuzzer, seeds, scratch)
        left = set().union(*edges.values()) - seeded if edges else set()
        wanted = len(left)
        chosen = []
        while left and len(chosen) < max_files:
            best = max(files, key=lambda path: (len(edges[path] & left), -sizes[path]))
            chosen.append(best)
            left -= edges[best]

        shutil.rmtree(kept, ignore_errors=True)
        os.makedirs(kept)
        for path in chosen:
            with open(path, "rb") as f:
                data = f.read()
            with open(os.path.join(kept, hashlib.sha1(data).hexdigest()), "wb") as f:
                f.write(data)
    total = sum(sizes[path] for path in chosen)
    print(f"{target}: kept {len(chosen)} of {len(files)} inputs ({total} bytes) in {kept}; they reach "
          f"{wanted - len(left)} of the {wanted} edges the run found beyond the seeds")


if __name__ == "__main__":
    main()
