-- The demo content: a small trading company's catalogue and three charts.
-- scripts/make-demo-kit.sh loads this into a fresh database beside the
-- schema, has the chart library draw and save each chart (so the charts'
-- drawings are the library's own), and writes the kit's bulk files and dump
-- from it; the kit itself ships only what the script wrote.

-- Groups of operations, and which of them the workflow uses.
INSERT INTO ProdGroupOperate (Grp, NameGrp, FullNameGrp) VALUES
    (1, 'Продажи', 'Продажи покупателям'),
    (2, 'Закупки', 'Закупки у поставщиков'),
    (3, 'Склад', 'Складские операции');
INSERT INTO MainGroupOperate (Grp) VALUES (1), (2), (3);

-- Operations (processes) of each group.
INSERT INTO ProdTypeOperate (Grp, Type, Kind, Code, NameOperate, NameGrp, FullNameGrp) VALUES
    (1, 1, 0, 'SO', 'Заказ покупателя', 'Продажи', 'Продажи покупателям'),
    (1, 2, 0, 'SH', 'Отгрузка', 'Продажи', 'Продажи покупателям'),
    (1, 3, 0, 'IN', 'Оплата покупателя', 'Продажи', 'Продажи покупателям'),
    (2, 4, 0, 'PO', 'Заказ поставщику', 'Закупки', 'Закупки у поставщиков'),
    (2, 5, 0, 'RC', 'Поступление товара', 'Закупки', 'Закупки у поставщиков'),
    (2, 6, 0, 'PY', 'Оплата поставщику', 'Закупки', 'Закупки у поставщиков'),
    (3, 7, 0, 'MV', 'Перемещение', 'Склад', 'Складские операции'),
    (3, 8, 0, 'IV', 'Инвентаризация', 'Склад', 'Складские операции');
INSERT INTO MainTypeOperate (Grp, Type, NameOperate) VALUES
    (1, 1, 'Заказ покупателя'),
    (1, 2, 'Отгрузка'),
    (1, 3, 'Оплата покупателя'),
    (2, 4, 'Заказ поставщику'),
    (2, 5, 'Поступление товара'),
    (2, 6, 'Оплата поставщику'),
    (3, 7, 'Перемещение'),
    (3, 8, 'Инвентаризация');

-- Eight document types.
INSERT INTO ProdDocType (TypeDoc, Type, Grp, NameDoc, FullNameDoc) VALUES
    (101, 1, 1, 'Заказ покупателя', 'Заказ покупателя на поставку товара'),
    (102, 2, 1, 'Расходная накладная', 'Расходная накладная на отгрузку'),
    (103, 3, 1, 'Счёт покупателю', 'Счёт на оплату покупателю'),
    (201, 4, 2, 'Заказ поставщику', 'Заказ поставщику на поставку товара'),
    (202, 5, 2, 'Приходная накладная', 'Приходная накладная от поставщика'),
    (203, 6, 2, 'Платёжное поручение', 'Платёжное поручение поставщику'),
    (301, 7, 3, 'Акт перемещения', 'Акт перемещения между складами'),
    (302, 8, 3, 'Инвентаризационная опись', 'Инвентаризационная опись склада');
INSERT INTO MainDocType (Grp, Type, TypeDoc, defState, DocTypeOptions) VALUES
    (1, 1, 101, 1, 0), (1, 2, 102, 1, 0), (1, 3, 103, 1, 0),
    (2, 4, 201, 1, 0), (2, 5, 202, 1, 0), (2, 6, 203, 1, 0),
    (3, 7, 301, 1, 0), (3, 8, 302, 1, 0);

-- The states and actions of each group.
INSERT INTO ProdDocState (Grp, State, NameState)
SELECT g, s, n FROM (VALUES
    (1, 'Черновик'), (2, 'Введён'), (3, 'Согласован'), (4, 'Зарезервирован'), (5, 'Счёт выставлен'),
    (6, 'Оплачен частично'), (7, 'Оплачен'), (8, 'Отгружен'), (9, 'Закрыт'), (10, 'Отменён'),
    (11, 'Архив'), (12, 'На проверке')) AS st(s, n)
CROSS JOIN (VALUES (1), (2), (3)) AS gr(g);
INSERT INTO ProdDocState (Grp, State, NameState) VALUES (1, 13, 'Отгрузка');
INSERT INTO ProdDocAction (Action, NameAction, Grp) VALUES
    (1, 'Проверить остатки', 1), (2, 'Зарезервировать товар', 1), (3, 'Выставить счёт', 1),
    (4, 'Уведомить менеджера', 1), (5, 'Снять резерв', 1), (6, 'Отправить в архив', 1),
    (21, 'Согласовать с бухгалтерией', 2), (22, 'Оприходовать товар', 2), (23, 'Сформировать платёж', 2),
    (24, 'Уведомить поставщика', 2),
    (31, 'Списать со склада-отправителя', 3), (32, 'Принять на склад-получатель', 3), (33, 'Пересчитать остатки', 3);

-- Chart 101: the customer order, with a state of another document
-- (state 13 generates a document: the move into it creates a delivery note,
-- document type 102), a circular link on "На проверке" and actions on the
-- moves. The editor keeps a move's new document type only on a move into
-- such a state.
INSERT INTO MainDocState (Grp, Type, TypeDoc, State, Comment) VALUES
    (1, 1, 101, 1, 'Новый заказ'), (1, 1, 101, 2, NULL), (1, 1, 101, 3, NULL), (1, 1, 101, 4, NULL),
    (1, 1, 101, 5, NULL), (1, 1, 101, 6, NULL), (1, 1, 101, 7, NULL), (1, 1, 101, 8, NULL),
    (1, 1, 101, 9, NULL), (1, 1, 101, 10, 'Отказ покупателя'), (1, 1, 101, 11, NULL), (1, 1, 101, 12, NULL);
INSERT INTO MainDocState (Grp, Type, TypeDoc, State, GenNewOperate, Comment) VALUES
    (1, 1, 101, 13, 1, 'Создаётся отгрузка');
INSERT INTO MainDocState (Grp, Type, TypeDoc, State) VALUES (1, 2, 102, 1);
INSERT INTO MainDocMove (Grp, Type, TypeDoc, State, NewGrp, NewState) VALUES
    (1, 1, 101, 1, 1, 2), (1, 1, 101, 2, 1, 12), (1, 1, 101, 12, 1, 12), (1, 1, 101, 12, 1, 3),
    (1, 1, 101, 3, 1, 4), (1, 1, 101, 4, 1, 5), (1, 1, 101, 5, 1, 6), (1, 1, 101, 5, 1, 7),
    (1, 1, 101, 6, 1, 7), (1, 1, 101, 7, 1, 8), (1, 1, 101, 8, 1, 9), (1, 1, 101, 9, 1, 11),
    (1, 1, 101, 2, 1, 10), (1, 1, 101, 3, 1, 10), (1, 1, 101, 10, 1, 11);
INSERT INTO MainDocMove (Grp, Type, TypeDoc, State, NewGrp, NewTypeDoc, NewState, MoveOptions) VALUES
    (1, 1, 101, 7, 1, 102, 13, 1);
INSERT INTO MainDocAction (Grp, Type, TypeDoc, State, NewGrp, NewState, Action, ActionGrp, idMove, TypeAction, OrderAction)
SELECT 1, 1, 101, m.State, 1, m.NewState, a.Action, 1, m.idMove, 0, a.OrderAction
FROM MainDocMove m
JOIN (VALUES (3, 4, 1, 1), (3, 4, 2, 2), (4, 5, 3, 1), (4, 5, 4, 2), (3, 10, 5, 1), (9, 11, 6, 1))
     AS a(State, NewState, Action, OrderAction)
  ON m.State = a.State AND m.NewState = a.NewState
WHERE m.TypeDoc = 101;

-- Chart 201: the order to a supplier.
INSERT INTO MainDocState (Grp, Type, TypeDoc, State)
SELECT 2, 4, 201, s FROM generate_series(1, 11) AS s;
INSERT INTO MainDocMove (Grp, Type, TypeDoc, State, NewGrp, NewState) VALUES
    (2, 4, 201, 1, 2, 2), (2, 4, 201, 2, 2, 3), (2, 4, 201, 3, 2, 4), (2, 4, 201, 4, 2, 5),
    (2, 4, 201, 5, 2, 6), (2, 4, 201, 6, 2, 7), (2, 4, 201, 5, 2, 7), (2, 4, 201, 7, 2, 8),
    (2, 4, 201, 8, 2, 9), (2, 4, 201, 9, 2, 11), (2, 4, 201, 2, 2, 10), (2, 4, 201, 10, 2, 11),
    (2, 4, 201, 3, 2, 2);
INSERT INTO MainDocAction (Grp, Type, TypeDoc, State, NewGrp, NewState, Action, ActionGrp, idMove, TypeAction, OrderAction)
SELECT 2, 4, 201, m.State, 2, m.NewState, a.Action, 2, m.idMove, 0, a.OrderAction
FROM MainDocMove m
JOIN (VALUES (2, 3, 21, 1), (4, 5, 23, 1), (4, 5, 24, 2), (7, 8, 22, 1)) AS a(State, NewState, Action, OrderAction)
  ON m.State = a.State AND m.NewState = a.NewState
WHERE m.TypeDoc = 201;

-- Chart 301: moving goods between warehouses.
INSERT INTO MainDocState (Grp, Type, TypeDoc, State)
SELECT 3, 7, 301, s FROM generate_series(1, 10) AS s;
INSERT INTO MainDocMove (Grp, Type, TypeDoc, State, NewGrp, NewState) VALUES
    (3, 7, 301, 1, 3, 2), (3, 7, 301, 2, 3, 3), (3, 7, 301, 3, 3, 4), (3, 7, 301, 4, 3, 8),
    (3, 7, 301, 8, 3, 9), (3, 7, 301, 9, 3, 11), (3, 7, 301, 2, 3, 10), (3, 7, 301, 10, 3, 11),
    (3, 7, 301, 3, 3, 12), (3, 7, 301, 12, 3, 4), (3, 7, 301, 4, 3, 5), (3, 7, 301, 5, 3, 6),
    (3, 7, 301, 6, 3, 7), (3, 7, 301, 7, 3, 8);
INSERT INTO MainDocState (Grp, Type, TypeDoc, State) VALUES (3, 7, 301, 11), (3, 7, 301, 12);
INSERT INTO MainDocAction (Grp, Type, TypeDoc, State, NewGrp, NewState, Action, ActionGrp, idMove, TypeAction, OrderAction)
SELECT 3, 7, 301, m.State, 3, m.NewState, a.Action, 3, m.idMove, 0, a.OrderAction
FROM MainDocMove m
JOIN (VALUES (3, 4, 31, 1), (4, 8, 32, 1), (12, 4, 33, 1)) AS a(State, NewState, Action, OrderAction)
  ON m.State = a.State AND m.NewState = a.NewState
WHERE m.TypeDoc = 301;

-- One firm with its departments.
INSERT INTO setup (id_firm, name) VALUES (1, 'ООО «Кельм-Трейд»');
INSERT INTO struct_gr (id_firm, struct_code, struct_parent, struct_name, struct_lev, sort) VALUES
    (1, 1, 0, 'ООО «Кельм-Трейд»', 0, 1),
    (1, 2, 1, 'Отдел продаж', 1, 2),
    (1, 3, 1, 'Отдел закупок', 1, 3),
    (1, 4, 1, 'Склад', 1, 4),
    (1, 5, 4, 'Основной склад', 2, 5),
    (1, 6, 4, 'Склад готовой продукции', 2, 6),
    (1, 7, 1, 'Бухгалтерия', 1, 7);
INSERT INTO struct_gr_firm (id_firm) VALUES (1);

-- Identity counters past the numbers given above.
SELECT setval(pg_get_serial_sequence('proddoctype', 'typedoc'), (SELECT max(TypeDoc) FROM ProdDocType));
SELECT setval(pg_get_serial_sequence('prodtypeoperate', 'type'), (SELECT max(Type) FROM ProdTypeOperate));
